#pragma once

#include <cstdint>

namespace MapsService {

// The process's start time in clock ticks since boot; 0 when it does not run.
// With the pid it names one process: a pid is reused, a start time is not.
std::uint64_t process_start_time(std::int32_t pid);

}  // namespace MapsService
