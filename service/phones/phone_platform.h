#pragma once

#include <functional>
#include <string>

#include "service/core/result_codes.h"

namespace MapsService {

// A part of the platform that starts with the service and stops with it.
struct PlatformStep {
    std::function<Result()> start;
    std::function<Result()> stop;
};

// Starts the HTTP library, then the USB watcher, then, only when the watcher
// started, the connectivity side. Answers the first failure (1 for the HTTP
// library and the watcher, the connectivity side's own code otherwise); what
// had started before a failure is stopped again, so nothing is left running.
[[nodiscard]] Result start_platform(const PlatformStep& usbWatcher,
                                    const PlatformStep& connectivity);

// Stops the watcher, then the connectivity side, then releases the HTTP
// library. Answers the connectivity side's code, whatever the watcher reported.
[[nodiscard]] Result stop_platform(const PlatformStep& usbWatcher,
                                   const PlatformStep& connectivity);

// The service's platform: the USB watcher over the system's volumes and the
// phone connectivity side, whose device table comes from the map server at
// serverUrl.
[[nodiscard]] Result initialize_phone_platform(const std::wstring& serverUrl);
[[nodiscard]] Result finalize_phone_platform();

// The USB watcher's start and stop: one watcher over the system's volumes,
// made at start and destroyed at stop. Start gives 1 when it cannot run.
[[nodiscard]] Result start_usb_watcher();
[[nodiscard]] Result stop_usb_watcher();

// Hands a mounted folder to the running watcher as an arriving volume and
// returns once it was handled; 1 when no watcher runs.
[[nodiscard]] Result add_usb_volume(const std::wstring& root);

}  // namespace MapsService
