#include "service/devices/connectivity_session.h"

#include "service/core/trace.h"
#include "service/devices/connectivity_calls.h"
#include "service/devices/connectivity_loader.h"

namespace MapsService {

namespace {

struct ModuleStart {
    ConnectivityModule module;
    std::uint32_t version;
};

// Start order; stopping runs backwards.
constexpr ModuleStart kModuleStarts[] = {
    {ConnectivityModule::DMAPI, DLNK_DMAPI_VERSION},
    {ConnectivityModule::FSAPI, DLNK_FSAPI_VERSION},
    {ConnectivityModule::DIAPI, DLNK_DIAPI_VERSION},
};
constexpr std::size_t kModuleCount = std::size(kModuleStarts);

// Terminates the first `count` modules of the start order, last first.
bool terminate_modules(std::size_t count) {
    bool allStopped = true;
    while (count > 0) {
        --count;
        if (connectivity_loader().terminate(kModuleStarts[count].module) != DLNK_OK) {
            allStopped = false;
        }
    }
    return allStopped;
}

}  // namespace

Result start_connectivity(DLNKDMHANDLE& deviceManager) {
    deviceManager = nullptr;
    for (std::size_t started = 0; started < kModuleCount; ++started) {
        const ModuleStart& start = kModuleStarts[started];
        const DLNKRESULT status = connectivity_loader().initialize(start.module, start.version);
        if (status != DLNK_OK) {
            terminate_modules(started);
            TraceError("LinkdeckFileSystem::initialize( ) failed in %s_Initialize( ) with %d",
                       module_name(start.module), status);
            return kResultConnectivity;
        }
    }
    const DLNKRESULT status = Devlinx::DLNKOpenDM(&deviceManager);
    if (status != DLNK_OK) {
        deviceManager = nullptr;
        terminate_modules(kModuleCount);
        TraceError("LinkdeckFileSystem::initialize( ) failed in DLNKOpenDM( ) with %d", status);
        return kResultFailed;
    }
    return kResultOk;
}

Result stop_connectivity(DLNKDMHANDLE deviceManager) {
    bool stopped = Devlinx::DLNKCloseDM(deviceManager) == DLNK_OK;
    stopped = terminate_modules(kModuleCount) && stopped;
    return stopped ? kResultOk : kResultFailed;
}

}  // namespace MapsService
