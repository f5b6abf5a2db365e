#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "service/content/maps_update_info.h"
#include "service/protocol/server_record.h"

namespace MapsService {

// The platform text of a device generation: "3.1", "3.2", "3.3" or "5.0";
// none below 310.
std::optional<std::wstring> platform_text_for_generation(std::int32_t generation);

// The first catalog item that fits a phone of that generation and client kind
// (newClients: only items whose "client" is "new"; otherwise only the others).
std::optional<ServerRecord> choose_installer(const std::vector<ServerRecord>& items,
                                             std::int32_t generation, bool newClients);

// The offer made of a catalog item.
MapsUpdateInfo describe_installer(const ServerRecord& item);

}  // namespace MapsService
