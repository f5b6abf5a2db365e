#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace MapsService {

// The connectivity library's three modules, in start order.
enum class ConnectivityModule : std::size_t { DMAPI = 0, FSAPI = 1, DIAPI = 2 };
inline constexpr std::size_t kConnectivityModuleCount = 3;

const char* module_name(ConnectivityModule module);

// Bit 0 of "Options": no watcher threads for release and reload requests.
inline constexpr std::uint32_t kOptionNoWatcher = 0x1;

// The connectivity library's settings file: DEVLINX_API_CONFIG, else
// $XDG_CONFIG_HOME/Devlinx/API.ini when it exists, else /etc/xdg/Devlinx/API.ini.
std::string connectivity_config_file();

struct ConnectivityConfig {
    // Library file per module ("DMAPI", "FSAPI", "DIAPI"); empty when not given.
    std::array<std::string, kConnectivityModuleCount> library_files;
    std::uint32_t options = 0;  // "Options", decimal or 0x-hexadecimal
};

// Read afresh at every call: the file may change while the program runs.
ConnectivityConfig read_connectivity_config();

}  // namespace MapsService
