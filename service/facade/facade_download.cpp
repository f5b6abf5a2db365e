// What a selection of regions and voices costs, and fetching it onto the
// current drive.

#include <exception>
#include <memory>

#include "service/content/download_package.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone_drive.h"
#include "service/content/update_plan.h"
#include "service/core/exceptions.h"
#include "service/core/sync.h"
#include "service/core/trace.h"
#include "service/facade/facade_internal.h"

namespace MapsService {

namespace {

// The package's items added to the counts and the tree.
void add_package_sizes(const DownloadPackage& package, std::uint64_t& count1, std::uint64_t& count2,
                       std::vector<DownloadItemInfo>& items) {
    count1 += package.total_bytes();
    count2 += package.total_bytes_to_write();
    insert_download_items(package, items);
}

}  // namespace

Result get_download_size(const std::vector<std::int32_t>& regions,
                         const std::vector<VoiceInfo>& voices, std::uint64_t& count1,
                         std::uint64_t& count2, std::vector<DownloadItemInfo>& items) {
    ScopeTrace scope("MapsService::get_download_size");
    PhoneDrive* drive = nullptr;
    Result result =
        drive_with_map_settings("skipping get_download_size() without mapsettings", drive);
    if (result != kResultOk || drive == nullptr) {
        return result;
    }
    count1 = 0;
    count2 = 0;
    {
        DownloadPackage package(*drive);
        result = drive->add_url_infos(regions, package);
        if (result != kResultOk) {
            return result;
        }
        add_package_sizes(package, count1, count2, items);
    }
    DownloadPackage voicePackage(*drive);
    result = drive->add_url_infos(voice_item_ids(*drive, voices), voicePackage);
    if (result == kResultOk) {
        add_package_sizes(voicePackage, count1, count2, items);
    }
    return result;
}

Result download(const std::vector<std::int32_t>& regions, const std::vector<VoiceInfo>& voices) {
    ScopeTrace scope("MapsService::download");
    TraceInfo(L"download of %d items started", static_cast<int>(regions.size()));
    PhoneDrive* drive = nullptr;
    Result result = drive_with_map_settings("skipping download() without mapsettings", drive);
    if (result != kResultOk || drive == nullptr) {
        return result;
    }
    if (regions.empty() && voices.empty()) {
        TraceInfo("nothing to download()");
        // An update of a drive without regions and voices ends here.
        return finish_update(*drive, regions, {});
    }
    const CancellableOperation operation;
    try {
        DownloadPackage package(*drive);
        const std::vector<std::int32_t> voiceIds = voice_item_ids(*drive, voices);
        result = drive->add_url_infos(regions, package);
        if (result == kResultOk) {
            result = drive->add_url_infos(voiceIds, package);
        }
        if (result == kResultOk) {
            result = package.download();
        }
        if (result == kResultOk) {
            result = finish_update(*drive, regions, voiceIds);
        }
    } catch (const Exception& error) {
        TraceError("exception in MapsService::download: %s", error.what());
        result = error.code();
    } catch (const std::exception& error) {
        TraceError("exception in MapsService::download: %s", error.what());
        result = kResultFailed;
    }
    drive->maps_bucket().invalidate();
    TraceInfo(L"download of %d items finished with ret=%d", static_cast<int>(regions.size()),
              result);
    return result;
}

}  // namespace MapsService
