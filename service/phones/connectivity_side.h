#pragma once

#include <string>

#include "service/core/result_codes.h"

namespace MapsService {

// The phone connectivity side's start: the device generation table (from the
// map server at serverUrl), the library's modules and device manager, the phones connected now,
// then the device notifications. 0; 12 when a module cannot be started; 1 when the device manager,
// the phone list or the notifications fail, in which case everything started is stopped again.
[[nodiscard]] Result initialize_connectivity_side(const std::wstring& serverUrl);

// Unregisters the notifications, closes the device manager and stops the
// modules; 1 when any step failed. Nothing to do when the side never started.
[[nodiscard]] Result finalize_connectivity_side();

}  // namespace MapsService
