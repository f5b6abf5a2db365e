#include "service/devices/connectivity_config.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "service/core/ini_file.h"
#include "service/core/text.h"

namespace MapsService {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

const char* module_name(ConnectivityModule module) {
    static const char* const kNames[kConnectivityModuleCount] = {"DMAPI", "FSAPI", "DIAPI"};
    return kNames[static_cast<std::size_t>(module)];
}

std::string connectivity_config_file() {
    std::string file = environment("DEVLINX_API_CONFIG");
    if (!file.empty()) {
        return file;
    }
    std::string configHome = environment("XDG_CONFIG_HOME");
    if (configHome.empty() && !environment("HOME").empty()) {
        configHome = environment("HOME") + "/.config";
    }
    if (!configHome.empty()) {
        file = configHome + "/Devlinx/API.ini";
        std::error_code error;
        if (std::filesystem::exists(file, error)) {
            return file;
        }
    }
    return "/etc/xdg/Devlinx/API.ini";
}

ConnectivityConfig read_connectivity_config() {
    IniFile settings(connectivity_config_file());
    ConnectivityConfig config;
    for (std::size_t i = 0; i < kConnectivityModuleCount; ++i) {
        const std::string name = module_name(static_cast<ConnectivityModule>(i));
        config.library_files[i] = to_narrow(settings.get_string(to_wide(name), L""));
    }
    const std::string options = to_narrow(settings.get_string(L"Options", L"0"));
    config.options = static_cast<std::uint32_t>(std::strtoul(options.c_str(), nullptr, 0));
    return config;
}

}  // namespace MapsService
