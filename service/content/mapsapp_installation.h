#pragma once

#include "service/core/result_codes.h"

namespace MapsService {

class LinkdeckFileSystem;
class PhoneDrive;
struct MapsUpdateInfo;

// The maps application installation of a phone drive: fetches the chosen
// installer into a work folder, installs it through the phone memory "C:",
// brings the drive's quota file up to date, and leaves no work folder and no
// open phone memory behind on any way out.
[[nodiscard]] Result install_maps_application(LinkdeckFileSystem& fileSystem, PhoneDrive& drive,
                                              const MapsUpdateInfo& info);

// Makes phone file systems install through install_maps_application.
void install_maps_application_installer();

}  // namespace MapsService
