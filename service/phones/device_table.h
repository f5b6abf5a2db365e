#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "service/core/result_codes.h"

namespace MapsService {

// The server's table of phone models and their device generations, as the
// phone side needs it. The maps-application layer that owns the table
// installs it; until then the table is empty, loading it succeeds, and every
// phone's generation comes from the phone itself.
struct DeviceGenerationTable {
    // Fetches the table from the map server (0 or the failure code).
    std::function<Result()> load;
    // The generation listed for a model name.
    std::function<std::optional<std::int32_t>(const std::wstring& model)> lookup;
};

void set_device_generation_table(DeviceGenerationTable table);

// Runs the installed loader; 0 without one.
[[nodiscard]] Result load_device_generation_table();
// The installed table's answer; none without one.
std::optional<std::int32_t> find_device_generation(const std::wstring& model);

}  // namespace MapsService
