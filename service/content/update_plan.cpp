#include "service/content/update_plan.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "service/content/delete_package.h"
#include "service/content/download_package.h"
#include "service/content/map_settings.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone_drive.h"
#include "service/core/exceptions.h"
#include "service/core/local_path.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"

namespace MapsService {

namespace {

using Bytes = unsigned long long;

// Free bytes of the local file system holding the folder; -1 when unknown.
std::int64_t local_free_bytes(const std::wstring& folder) {
    struct statvfs info {};
    if (::statvfs(to_native_path(folder).c_str(), &info) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
}

void add_missing(std::vector<std::int32_t>& ids, const std::vector<std::int32_t>& more) {
    for (std::int32_t id : more) {
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) {
            ids.push_back(id);
        }
    }
}

// The ids of the target's catalog; the others each leave a trace line.
std::vector<std::int32_t> offered_ids(PhoneDrive& drive, const std::vector<std::int32_t>& ids,
                                      const VersionInfo& target, const wchar_t* kind) {
    std::vector<std::int32_t> kept;
    for (std::int32_t id : ids) {
        URLInfo info;
        if (drive.find_url_info(id, info)) {
            kept.push_back(id);
        } else {
            TraceWarning(L"%s %d is not offered at map version %s: dropped from the update", kind,
                         id, target.to_text().c_str());
        }
    }
    return kept;
}

// A recorded update to a version the server no longer offers goes on to the
// one it offers now, with the ids that version still has. What it placed was
// of the other version and is fetched anew.
Result carry_over(PhoneDrive& drive, const UpdateRecord& recorded, UpdateRecord& record) {
    TraceInfo(L"unfinished update to %s carried over to %s", recorded.target.to_text().c_str(),
              record.target.to_text().c_str());
    const Result result = drive.ensure_catalog(record.target);
    if (result != kResultOk) {
        TraceError(L"catalogs of %s not loaded (%d): nothing is deleted",
                   record.target.to_text().c_str(), result);
        return result;
    }
    record.regions = offered_ids(drive, recorded.regions, record.target, L"region");
    record.voices = offered_ids(drive, recorded.voices, record.target, L"voice");
    record.placed.clear();
    return kResultOk;
}

// A wipe of a few hundred files is over in a moment on any drive, before a
// fetch ahead would bring anything.
constexpr std::size_t kFilesBeforeFetchingAhead = 256;

// Room the wipe's item frees where files take whole units; folders that stay count nothing.
Result freed_room(FileSystem& files, const DeletePackage::Item& item, std::uint64_t unit,
                  std::uint64_t& freed) {
    freed = 0;
    if (item.kind == DeleteKind::File) {
        freed = files.file_exists(item.path) ? allocated_bytes(item.size, unit) : 0;
        return kResultOk;
    }
    if (!files.directory_exists(item.path)) {
        return kResultOk;
    }
    if (item.kind != DeleteKind::TileFolder) {
        const Result result = files.get_allocated_size(item.path, freed);
        if (result == kResultOk && item.kind == DeleteKind::EmptyFolder) {
            freed -= std::min(freed, allocated_bytes(1, unit));
        }
        return result;
    }
    std::vector<DirectoryEntry> subfolders;
    if (files.fetch_sub_directories(item.path, subfolders) != kResultOk) {
        return kResultFailed;
    }
    std::vector<std::wstring> folders{item.path};
    for (const DirectoryEntry& folder : subfolders) {
        folders.push_back(folder.path());
    }
    for (const std::wstring& folder : folders) {
        std::vector<std::pair<std::wstring, std::uint64_t>> found;
        if (files.fetch_files(folder, found) != kResultOk) {
            return kResultFailed;
        }
        for (const auto& file : found) {
            freed += allocated_bytes(file.second, unit);
        }
    }
    return kResultOk;
}

// Whether the drive can take the update once the wipe ran. Files take whole
// allocation units: the new files are taken to lose as much to rounding as
// the old ones they replace, and every item adds a folder or an index entry;
// the record, its staging folder, config.cfg's new copy and a work copy come on top.
Result check_room(PhoneDrive& drive, const DownloadPackage& package, const DeletePackage& wipe) {
    FileSystem& files = drive.file_system();
    const std::uint64_t unit = files.allocation_unit();
    std::uint64_t freed = 0;
    std::uint64_t freedBytes = 0;
    for (const DeletePackage::Item& item : wipe.items()) {
        // Without units the sizes the wipe read are the room: no second walk
        // over a phone's link.
        std::uint64_t room = item.size;
        const Result result = unit > 1 ? freed_room(files, item, unit, room) : kResultOk;
        if (result != kResultOk) {
            TraceError(L"room of %s not read (%d): nothing is deleted", item.path.c_str(), result);
            return kResultPhoneFileSystem;
        }
        freed += room;
        freedBytes += item.size;
    }
    constexpr std::uint64_t kFilesBesideItems = 4;
    std::uint64_t needed = (freed - std::min(freed, freedBytes)) +
                           allocated_bytes(1, unit) * (package.items().size() + kFilesBesideItems);
    for (const URLInfo& item : package.items()) {
        // An item without an announced size unpacks to at least its archive's bytes.
        needed += allocated_bytes(item.contentSize != 0 ? item.contentSize : item.byteSize, unit);
    }
    const std::int64_t free = files.free_space_bytes();
    if (free < 0) {
        TraceWarning(L"room on drive %s unknown: the update goes on without its room check",
                     drive.name().c_str());
    } else if (static_cast<std::uint64_t>(free) + freed < needed) {
        TraceError(
            L"no room for the update on drive %s: %llu bytes free, %llu freed by the wipe, "
            L"%llu needed in units of %llu bytes",
            drive.name().c_str(), static_cast<Bytes>(free), static_cast<Bytes>(freed),
            static_cast<Bytes>(needed), static_cast<Bytes>(unit));
        return kResultPhoneFull;
    }
    // One item is placed while the next ones download.
    const std::uint64_t tempNeeded = ItemFetcher::most_bytes_held(package.items());
    const std::int64_t tempFree = local_free_bytes(package.temp_folder());
    if (tempFree >= 0 && static_cast<std::uint64_t>(tempFree) < tempNeeded) {
        TraceError(
            L"no room for the update in the temporary folder %s: %llu bytes free, %llu "
            L"needed for the items it holds at once",
            package.temp_folder().c_str(), static_cast<Bytes>(tempFree),
            static_cast<Bytes>(tempNeeded));
        return kResultDiskError;
    }
    return kResultOk;
}

}  // namespace

Result gather_update_contents(PhoneDrive& drive, UpdateRecord& record) {
    UpdateRecord recorded;
    if (read_update_record(drive, recorded) == PendingUpdate::Recorded) {
        if (!(recorded.target == record.target)) {
            return carry_over(drive, recorded, record);
        }
        record.regions = std::move(recorded.regions);
        record.voices = std::move(recorded.voices);
        record.placed = std::move(recorded.placed);
        return kResultOk;
    }
    Result result = drive.ensure_catalog();
    std::vector<VoiceInfo> voices;
    if (result == kResultOk) {
        result = drive.maps_bucket().GetRegionList(record.regions);
    }
    if (result == kResultOk) {
        result = drive.maps_bucket().GetVoicesList(voices);
    }
    if (result != kResultOk) {
        TraceError(L"regions and voices of drive %s not read (%d): nothing is deleted",
                   drive.name().c_str(), result);
        return result;
    }
    record.voices.clear();
    for (const VoiceInfo& voice : voices) {
        if (voice.id == 0) {
            TraceWarning(L"voice %s has no item in the voice catalog", voice.name.c_str());
        } else if (std::find(record.voices.begin(), record.voices.end(), voice.id) ==
                   record.voices.end()) {
            record.voices.push_back(voice.id);
        }
    }
    return kResultOk;
}

Result check_update_room(PhoneDrive& drive, const UpdateRecord& record, const DeletePackage& wipe,
                         std::optional<DownloadPackage>& download) {
    Result result = drive.ensure_catalog(record.target);
    if (result != kResultOk) {
        TraceError(L"catalogs of %s not loaded (%d): nothing is deleted",
                   record.target.to_text().c_str(), result);
        return result;
    }
    try {
        download.emplace(drive);
        result = drive.add_url_infos(record.regions, *download);
        if (result == kResultOk) {
            result = drive.add_url_infos(record.voices, *download);
        }
        return result != kResultOk ? result : check_room(drive, *download, wipe);
    } catch (const Exception& error) {
        TraceError("exception in check_update_room: %s", error.what());
        return error.code();
    }
}

Result run_update_wipe(PhoneDrive& drive, DownloadPackage& download, DeletePackage& wipe) {
    return download.fetch_ahead_during([&](const std::function<void()>& begin) {
        wipe.call_after(kFilesBeforeFetchingAhead, begin);
        const Result result = drive.maps_bucket().run_delete(wipe);
        wipe.call_after(0, {});  // `begin` goes with this call
        return result;
    });
}

bool add_recorded_items(PhoneDrive& drive, UpdateRecord& record, std::vector<std::int32_t>& regions,
                        std::vector<std::int32_t>& voices) {
    if (drive.map_settings() == nullptr ||
        read_update_record(drive, record) != PendingUpdate::Recorded) {
        return false;
    }
    // A list read before the record was carried over may name what the
    // target no longer has; the record's own ids are never left out.
    regions = offered_ids(drive, regions, record.target, L"region");
    voices = offered_ids(drive, voices, record.target, L"voice");
    add_missing(regions, record.regions);
    add_missing(voices, record.voices);
    return true;
}

Result finish_update(PhoneDrive& drive, const std::vector<std::int32_t>& wanted) {
    UpdateRecord record;
    if (drive.map_settings() == nullptr ||
        read_update_record(drive, record) != PendingUpdate::Recorded) {
        return drive.file_system().flush_drive();
    }
    const std::vector<std::int32_t>* const lists[] = {&wanted, &record.regions, &record.voices};
    for (const std::vector<std::int32_t>* ids : lists) {
        const auto missing = std::find_if(
            ids->begin(), ids->end(), [&record](std::int32_t id) { return !record.is_placed(id); });
        if (missing != ids->end()) {
            TraceError(L"update of drive %s stays unfinished: item %d is not on the drive",
                       drive.name().c_str(), *missing);
            return kResultFailed;
        }
    }
    // Every placed file is on the device before config.cfg names the new
    // version, config.cfg before the record goes, and the record's removal
    // before success is reported: a card pulled at any moment holds the old
    // maps, the new ones whole, or a record the next run completes.
    FileSystem& files = drive.file_system();
    Result result = files.flush_drive();
    if (result == kResultOk) {
        result = drive.edit_map_settings([&record](MapSettings& edited) {
            return edited.config_file().set_map_version(record.target);
        });
    }
    if (result == kResultOk) {
        result = remove_update_record(drive);
    }
    if (result == kResultOk) {
        result = files.flush_drive();
    }
    if (result != kResultOk) {
        TraceError(L"update of drive %s not concluded (%d)", drive.name().c_str(), result);
        return result;
    }
    TraceInfo(L"drive %s now holds map version %s", drive.name().c_str(),
              record.target.to_text().c_str());
    return kResultOk;
}

}  // namespace MapsService
