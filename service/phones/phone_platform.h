#pragma once

#include <string>

#include "service/core/result_codes.h"

namespace MapsService {

// Makes the USB watcher and the phone connectivity side part of the service's
// platform start and stop (platform_initialize, platform_finalize).
void install_phone_platform_steps();

// The USB watcher's start and stop: one watcher over the system's volumes,
// made at start and destroyed at stop. Start gives 1 when it cannot run.
[[nodiscard]] Result start_usb_watcher();
[[nodiscard]] Result stop_usb_watcher();

// Hands a mounted folder to the running watcher as an arriving volume and
// returns once it was handled; 1 when no watcher runs.
[[nodiscard]] Result add_usb_volume(const std::wstring& root);

}  // namespace MapsService
