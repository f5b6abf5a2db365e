#pragma once

#include "devlinx/devlinx_api.h"
#include "service/core/result_codes.h"

namespace MapsService {

// Starts the connectivity library's three modules in order and opens the
// device manager. 0 on success with `deviceManager` open; 12 when a module
// cannot be started, 1 when the device manager cannot be opened; whatever was
// started is stopped again on failure, and each failure is traced.
[[nodiscard]] Result start_connectivity(DLNKDMHANDLE& deviceManager);

// Closes the device manager and terminates the modules in reverse order;
// 1 when any step failed, else 0. Every step runs whatever failed before.
[[nodiscard]] Result stop_connectivity(DLNKDMHANDLE deviceManager);

}  // namespace MapsService
