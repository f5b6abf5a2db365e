#include "service/phones/connectivity_side.h"

#include "service/content/velka_devices.h"
#include "service/core/trace.h"
#include "service/devices/connectivity_calls.h"
#include "service/devices/linkdeck_file_system.h"
#include "service/phones/device_side.h"
#include "service/phones/dmapi_device_notify.h"

namespace MapsService {

namespace {

// A start that failed after the device manager opened: stop what runs, then say why.
Result abandon_start(const char* step, Result status) {
    device_notify().stop();
    (void)LinkdeckFileSystem::finalize();
    TraceError("LinkdeckFileSystem::initialize( ) failed in %s( ) with %d", step, status);
    return kResultFailed;
}

}  // namespace

Result initialize_connectivity_side(const std::wstring& serverUrl) {
    // The phones enumerated below look their generation up in this table;
    // without it they fall back on what the phone says of itself.
    const Result table = velka_devices().load(serverUrl);
    if (table != kResultOk) {
        TraceError("loading the device table 'mclients' failed with %d", table);
    }
    const Result started = LinkdeckFileSystem::initialize();
    if (started != kResultOk) {
        return started;
    }
    const DLNKDMHANDLE deviceManager = LinkdeckFileSystem::device_manager();
    const Result listed = get_phones_list(deviceManager);
    if (listed != kResultOk) {
        return abandon_start("get_phones_list", listed);
    }
    const DLNKRESULT registered =
        Devlinx::DLNKRegisterDMNotifyIF(deviceManager, DLNK_DM_REGISTER, &device_notify());
    if (registered != DLNK_OK) {
        return abandon_start("DLNKRegisterDMNotifyIF", registered);
    }
    return kResultOk;
}

Result finalize_connectivity_side() {
    const DLNKDMHANDLE deviceManager = LinkdeckFileSystem::device_manager();
    if (deviceManager == nullptr) {
        return kResultOk;
    }
    const bool unregistered = Devlinx::DLNKRegisterDMNotifyIF(deviceManager, DLNK_DM_UNREGISTER,
                                                              &device_notify()) == DLNK_OK;
    // Notifications received before unregistering still need the device manager.
    device_notify().stop();
    const Result stopped = LinkdeckFileSystem::finalize();
    return unregistered && stopped == kResultOk ? kResultOk : kResultFailed;
}

}  // namespace MapsService
