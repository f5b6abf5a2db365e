// The maps application: the server's installer catalog, the offer for the
// current drive's phone and its installation.

#include "service/content/maps_app_package.h"
#include "service/content/maps_update_info.h"
#include "service/content/mapsapp_installation.h"
#include "service/content/phone_drive.h"
#include "service/core/sync.h"
#include "service/core/trace.h"
#include "service/facade/facade_internal.h"

namespace MapsService {

Result get_mapsapp_catalog() {
    return run_operation("get_mapsapp_catalog", [&]() -> Result {
        ScopeTrace scope("MapsService::get_mapsapp_catalog");
        return maps_app_package().Load(get_server_url());
    });
}

void release_mapsapp_catalog() {
    maps_app_package().clear();
}

Result get_mapsapp_update_info(MapsUpdateInfo& info) {
    return run_operation("get_mapsapp_update_info", [&]() -> Result {
        ScopeTrace scope("MapsService::get_mapsapp_update_info");
        PhoneDrive* drive = current_drive();
        if (drive == nullptr) {
            return kResultNoDriveSelected;
        }
        return drive->get_mapsapp_update_info(info);
    });
}

Result update_mapsapp(const MapsUpdateInfo& info) {
    return run_operation("update_mapsapp", [&]() -> Result {
        ScopeTrace scope("MapsService::update_mapsapp");
        const CancellableOperation operation;
        PhoneDrive* drive = current_drive();
        if (drive == nullptr) {
            return kResultNoDriveSelected;
        }
        return install_maps_application(*drive, info);
    });
}

}  // namespace MapsService
