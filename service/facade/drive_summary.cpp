// A maps drive in a local folder, read on its own: no phone manager, no watchers.

#include <exception>
#include <memory>

#include "service/content/map_settings.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/content/region_qnr_map.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/file_system_win.h"
#include "service/facade/facade_internal.h"
#include "service/facade/maps_service.h"

namespace MapsService {

namespace {

void copy_settings(const MapSettings& settings, DriveSummary& summary) {
    summary.clientId = settings.client_id();
    summary.clientVersion = settings.client_version().to_text();
    summary.mapVersion = settings.map_version().to_text();
    summary.quota = settings.quota();
    summary.diskcache = settings.diskcache();
    summary.diskcacheSize = settings.diskcache_size();
    summary.voicefiles = settings.voicefiles();
    summary.languageCode = settings.language_code();
}

Result read_regions(PhoneDrive& drive, DriveSummary& summary) {
    const TransferLibraryUse transfers;
    const Result loaded = drive.load_url_infos();
    if (loaded != kResultOk) {
        TraceError("read_drive_summary: catalogs not loaded (%d)", loaded);
        return loaded;
    }
    std::vector<std::int32_t> ids;
    const Result listed = drive.maps_bucket().GetRegionList(ids);
    for (const std::int32_t id : ids) {
        const Region* region = drive.region_table()->find(id);
        summary.regions.push_back({id, region != nullptr ? region->name : std::wstring()});
    }
    summary.regionsRead = listed == kResultOk;
    return listed;
}

}  // namespace

Result read_drive_summary(const std::wstring& root, bool regions, DriveSummary& summary) {
    return run_operation("read_drive_summary", [&]() -> Result {
        ScopeTrace scope("MapsService::read_drive_summary");
        summary = DriveSummary();
        Phone phone(L"local folder", L"");
        phone.set_connected(true);
        PhoneDrive drive(&phone, std::make_unique<FileSystemWin>(root), true);
        drive.set_connected(true);
        drive.set_server_url(get_server_url());
        try {
            drive.load_map_settings();
        } catch (const std::exception& error) {
            TraceError("read_drive_summary: %s holds no maps drive: %s", to_narrow(root).c_str(),
                       error.what());
            return kResultInvalidDrive;
        }
        copy_settings(*drive.map_settings(), summary);
        const Result regionResult = regions ? read_regions(drive, summary) : kResultOk;
        const Result voiceResult = drive.maps_bucket().GetVoicesList(summary.voices);
        return regionResult != kResultOk ? regionResult : voiceResult;
    });
}

}  // namespace MapsService
