#pragma once

#include "service/core/result_codes.h"

namespace MapsService {

class PhoneDrive;
struct MapsUpdateInfo;

// The maps application installation of a phone drive: fetches the chosen
// installer into a work folder, installs it through the phone memory "C:",
// brings the drive's quota file up to date, and leaves no work folder and no
// open phone memory behind on any way out. 1 for a drive whose device takes
// no applications (a local volume or folder).
[[nodiscard]] Result install_maps_application(PhoneDrive& drive, const MapsUpdateInfo& info);

}  // namespace MapsService
