#pragma once

#include <cstdint>
#include <string>

#include "service/content/version_info.h"

namespace MapsService {

// The maps application the server offers for a phone, as shown to the user
// and handed back for the installation.
struct MapsUpdateInfo {
    MapsappVersionInfo newVersion;
    MapsappVersionInfo mandatoryVersion;
    std::wstring description;
    std::wstring title;
    std::uint64_t contentSize = 0;  // bytes of the installer
    std::int32_t itemId = 0;        // the chosen item of the installer catalog
};

}  // namespace MapsService
