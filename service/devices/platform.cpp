#include "service/devices/platform.h"

#include <curl/curl.h>

#include <mutex>

#include "service/core/trace.h"

namespace MapsService {

namespace {

struct Steps {
    std::mutex mutex;
    PlatformStep usbWatcher;
    PlatformStep connectivity;
};

Steps& steps() {
    static Steps all;
    return all;
}

PlatformStep copy_step(PlatformStep Steps::*which) {
    Steps& all = steps();
    std::lock_guard<std::mutex> lock(all.mutex);
    return all.*which;
}

Result run(const std::function<Result()>& action, const char* part) {
    if (!action) {
        TraceInfo("%s is not part of this service", part);
        return kResultOk;
    }
    return action();
}

constexpr const char* kUsbWatcher = "USB mass-storage watcher";
constexpr const char* kConnectivity = "phone connectivity";

void release_curl() {
    TraceInfo("==>curl_global_cleanup()");
    curl_global_cleanup();
}

}  // namespace

void set_usb_watcher_step(PlatformStep step) {
    std::lock_guard<std::mutex> lock(steps().mutex);
    steps().usbWatcher = std::move(step);
}

void set_connectivity_step(PlatformStep step) {
    std::lock_guard<std::mutex> lock(steps().mutex);
    steps().connectivity = std::move(step);
}

Result platform_initialize() {
    const CURLcode curl = curl_global_init(CURL_GLOBAL_ALL);
    TraceInfo("==>curl_global_init() returned with %d", static_cast<int>(curl));
    if (curl != CURLE_OK) {
        return kResultFailed;
    }
    const PlatformStep watcher = copy_step(&Steps::usbWatcher);
    if (run(watcher.start, kUsbWatcher) != kResultOk) {
        release_curl();
        return kResultFailed;
    }
    const Result connectivity = run(copy_step(&Steps::connectivity).start, kConnectivity);
    if (connectivity != kResultOk) {
        if (watcher.stop) {
            (void)watcher.stop();
        }
        release_curl();
    }
    return connectivity;
}

Result platform_finalize() {
    const Result watcher = run(copy_step(&Steps::usbWatcher).stop, kUsbWatcher);
    if (watcher != kResultOk) {
        TraceError("error in FileSystemWin::finalize( ): %d", watcher);
    }
    const Result connectivity = run(copy_step(&Steps::connectivity).stop, kConnectivity);
    if (connectivity != kResultOk) {
        TraceError("error in LinkdeckFileSystem::finalize( ): %d", connectivity);
    }
    release_curl();
    return connectivity;
}

}  // namespace MapsService
