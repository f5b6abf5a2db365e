// What a selection of regions and voices costs, and fetching it onto the
// current drive.

#include <memory>

#include "service/content/download_package.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone_drive.h"
#include "service/content/update_plan.h"
#include "service/core/sync.h"
#include "service/core/trace.h"
#include "service/facade/facade_internal.h"

namespace MapsService {

namespace {

// What a download fetches: the caller's regions and voices and those the
// drive's unfinished update names, once each. The drive's record, not the
// caller's list, says what the drive still needs: none of its items drops
// out, and a package that resumes it leaves out the items it placed.
struct Request {
    std::vector<std::int32_t> regions;
    std::vector<std::int32_t> voices;
    UpdateRecord record;
    bool resumed = false;

    Request(PhoneDrive& drive, const std::vector<std::int32_t>& regionIds,
            const std::vector<VoiceInfo>& voiceInfos)
        : regions(regionIds), voices(voice_item_ids(drive, voiceInfos)) {
        resumed = add_recorded_items(drive, record, regions, voices);
    }
    void prepare(DownloadPackage& package) {
        if (resumed) {
            package.resume(record);
        }
    }
};

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
    return run_operation("get_download_size", [&]() -> Result {
        ScopeTrace scope("MapsService::get_download_size");
        PhoneDrive* drive = nullptr;
        Result result =
            drive_with_map_settings("skipping get_download_size() without mapsettings", drive);
        if (result != kResultOk || drive == nullptr) {
            return result;
        }
        count1 = 0;
        count2 = 0;
        Request request(*drive, regions, voices);
        {
            DownloadPackage package(*drive);
            request.prepare(package);
            result = drive->add_url_infos(request.regions, package);
            if (result != kResultOk) {
                return result;
            }
            add_package_sizes(package, count1, count2, items);
        }
        DownloadPackage voicePackage(*drive);
        request.prepare(voicePackage);
        result = drive->add_url_infos(request.voices, voicePackage);
        if (result == kResultOk) {
            add_package_sizes(voicePackage, count1, count2, items);
        }
        return result;
    });
}

Result download(const std::vector<std::int32_t>& regions, const std::vector<VoiceInfo>& voices) {
    return run_operation("download", [&]() -> Result {
        ScopeTrace scope("MapsService::download");
        TraceInfo(L"download of %d items started", static_cast<int>(regions.size()));
        PhoneDrive* drive = nullptr;
        Result result = drive_with_map_settings("skipping download() without mapsettings", drive);
        if (result != kResultOk || drive == nullptr) {
            return result;
        }
        result = drive->hold_update_lock();
        if (result != kResultOk) {
            return result;
        }
        const CancellableOperation operation;
        result = guarded("download", [&]() -> Result {
            Request request(*drive, regions, voices);
            if (request.regions.empty() && request.voices.empty()) {
                TraceInfo("nothing to download()");
                // An update of a drive without regions and voices ends here.
                return finish_update(*drive, {});
            }
            DownloadPackage package(*drive);
            request.prepare(package);
            Result step = drive->add_url_infos(request.regions, package);
            if (step == kResultOk) {
                step = drive->add_url_infos(request.voices, package);
            }
            if (step == kResultOk) {
                step = package.download();
            }
            return step == kResultOk ? finish_update(*drive, package.wanted_items()) : step;
        });
        drive->maps_bucket().invalidate();
        drive->release_update_lock();
        TraceInfo(L"download of %d items finished with ret=%d", static_cast<int>(regions.size()),
                  result);
        return result;
    });
}

}  // namespace MapsService
