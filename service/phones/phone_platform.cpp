#include "service/phones/phone_platform.h"

#include <memory>
#include <mutex>

#include "service/core/trace.h"
#include "service/devices/platform.h"
#include "service/phones/connectivity_side.h"
#include "service/phones/udev_volume_source.h"
#include "service/phones/usb_manager.h"

namespace MapsService {

namespace {

std::mutex g_watcherMutex;
std::unique_ptr<UsbManager> g_watcher;

}  // namespace

Result start_usb_watcher() {
    std::lock_guard<std::mutex> lock(g_watcherMutex);
    if (g_watcher) {
        return kResultOk;
    }
    try {
        g_watcher = std::make_unique<UsbManager>(std::make_unique<UdevVolumeSource>());
        return g_watcher->start_() ? kResultOk : kResultFailed;
    } catch (const std::exception& e) {
        TraceError("the USB watcher could not be started: %s", e.what());
        g_watcher.reset();
        return kResultFailed;
    }
}

Result stop_usb_watcher() {
    std::lock_guard<std::mutex> lock(g_watcherMutex);
    if (!g_watcher) {
        return kResultOk;
    }
    const bool stopped = g_watcher->stop_();
    g_watcher.reset();
    return stopped ? kResultOk : kResultFailed;
}

Result add_usb_volume(const std::wstring& root) {
    // Held while the volume is handled, so that the watcher cannot be stopped
    // and destroyed under it.
    std::lock_guard<std::mutex> lock(g_watcherMutex);
    if (!g_watcher) {
        return kResultFailed;
    }
    return g_watcher->add_volume(root) ? kResultOk : kResultFailed;
}

void install_phone_platform_steps() {
    set_usb_watcher_step({start_usb_watcher, stop_usb_watcher});
    set_connectivity_step({initialize_connectivity_side, finalize_connectivity_side});
}

}  // namespace MapsService
