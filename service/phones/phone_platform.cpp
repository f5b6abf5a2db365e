#include "service/phones/phone_platform.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "service/core/trace.h"
#include "service/phones/connectivity_side.h"
#include "service/phones/udev_volume_source.h"
#include "service/phones/usb_manager.h"

namespace MapsService {

namespace {

std::mutex g_watcherMutex;
std::unique_ptr<UsbManager> g_watcher;

void release_curl() {
    TraceInfo("==>curl_global_cleanup()");
    curl_global_cleanup();
}

Result run(const std::function<Result()>& action) {
    return action ? action() : kResultOk;
}

PlatformStep usb_watcher_step() {
    return {start_usb_watcher, stop_usb_watcher};
}

}  // namespace

Result start_platform(const PlatformStep& usbWatcher, const PlatformStep& connectivity) {
    const CURLcode curl = curl_global_init(CURL_GLOBAL_ALL);
    TraceInfo("==>curl_global_init() returned with %d", static_cast<int>(curl));
    if (curl != CURLE_OK) {
        return kResultFailed;
    }
    if (run(usbWatcher.start) != kResultOk) {
        release_curl();
        return kResultFailed;
    }
    const Result started = run(connectivity.start);
    if (started != kResultOk) {
        (void)run(usbWatcher.stop);
        release_curl();
    }
    return started;
}

Result stop_platform(const PlatformStep& usbWatcher, const PlatformStep& connectivity) {
    const Result watcher = run(usbWatcher.stop);
    if (watcher != kResultOk) {
        TraceError("error in FileSystemWin::finalize( ): %d", watcher);
    }
    const Result stopped = run(connectivity.stop);
    if (stopped != kResultOk) {
        TraceError("error in LinkdeckFileSystem::finalize( ): %d", stopped);
    }
    release_curl();
    return stopped;
}

Result initialize_phone_platform(const std::wstring& serverUrl) {
    return start_platform(usb_watcher_step(),
                          {[serverUrl] { return initialize_connectivity_side(serverUrl); },
                           finalize_connectivity_side});
}

Result finalize_phone_platform() {
    return stop_platform(usb_watcher_step(), {nullptr, finalize_connectivity_side});
}

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

}  // namespace MapsService
