#pragma once

#include <functional>

#include "service/core/result_codes.h"

namespace MapsService {

// A part of the file-system layer that starts with the service and stops with it.
struct PlatformStep {
    std::function<Result()> start;
    std::function<Result()> stop;
};

// The USB mass-storage watcher and the phone connectivity side each install
// their step here once they are built into the service. A step not installed
// is not run: the layer then starts with the HTTP library alone, and traces
// that the part is absent.
void set_usb_watcher_step(PlatformStep step);
void set_connectivity_step(PlatformStep step);

// Starts the HTTP library, then the USB watcher, then, only when the watcher
// started, the connectivity side. Answers the first failure (1 for the HTTP
// library and the watcher, the connectivity side's own code otherwise); what
// had started before a failure is stopped again, so nothing is left running.
[[nodiscard]] Result platform_initialize();

// Stops the watcher, then the connectivity side, then releases the HTTP
// library. Answers the connectivity side's code, whatever the watcher reported.
[[nodiscard]] Result platform_finalize();

}  // namespace MapsService
