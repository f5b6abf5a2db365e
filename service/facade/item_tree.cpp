// The item tree of get_download_size and the catalog items of the chosen voices.

#include <algorithm>

#include "service/content/download_package.h"
#include "service/content/package_container.h"
#include "service/content/phone_drive.h"
#include "service/content/voice_packages.h"
#include "service/core/trace.h"
#include "service/facade/facade_internal.h"

namespace MapsService {

namespace {

// The entry with that id: the list's own entries first, then, entry by entry,
// their descendants.
DownloadItemInfo* find_entry(std::vector<DownloadItemInfo>& items, std::int32_t id) {
    for (DownloadItemInfo& entry : items) {
        if (entry.id == id) {
            return &entry;
        }
    }
    for (DownloadItemInfo& entry : items) {
        if (DownloadItemInfo* found = find_entry(entry.children, id)) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace

void insert_download_items(const DownloadPackage& package, std::vector<DownloadItemInfo>& items) {
    for (const URLInfo& item : package.items()) {
        DownloadItemInfo entry{item.name,
                               item.byteSize,
                               item.contentSize,
                               item.id,
                               static_cast<std::int32_t>(download_item_type(item.type)),
                               {}};
        DownloadItemInfo* parent = find_entry(items, item.parentId);
        (parent != nullptr ? parent->children : items).push_back(std::move(entry));
    }
}

std::vector<std::int32_t> voice_item_ids(PhoneDrive& drive, const std::vector<VoiceInfo>& voices) {
    std::vector<std::int32_t> ids;
    if (voices.empty()) {
        return ids;
    }
    // Loading the drive's records loads its voice catalog, which the voices
    // listed before may not have been linked to yet.
    (void)drive.get_url_infos();
    const VoiceBasePackage* catalog = drive.voice_container().voice_package();
    for (const VoiceInfo& voice : voices) {
        std::int32_t id = voice.id;
        if (id == 0 && catalog != nullptr) {
            if (const ServerRecord* item = catalog->find_item(voice)) {
                id = item->id;
            }
        }
        if (id == 0) {
            TraceWarning(L"voice %s has no item in the voice catalog", voice.name.c_str());
        } else if (std::find(ids.begin(), ids.end(), id) == ids.end()) {
            ids.push_back(id);
        }
    }
    return ids;
}

}  // namespace MapsService
