#pragma once

#include <cstdint>

#include "devlinx/devlinx_api.h"
#include "service/core/result_codes.h"

namespace MapsService {

class Phone;

// The phones the connectivity library reports, brought into the phone manager.
// Every call asks the library through the device manager that the
// connectivity side opened.

// Adds every phone connected now; 1 when the library cannot count them.
[[nodiscard]] Result get_phones_list(DLNKDMHANDLE deviceManager);
// One phone from its device record, with its properties and drives.
void add_device(const DLNK_DEVICE& record, std::uint32_t media);
// IMSI, features, model, device type and device generation.
void get_phone_properties(Phone& phone);
// Adds a drive for every memory of the phone.
void enumerate_phone_drives(Phone& phone, std::uint32_t media);

// The phone's device type for the library's type code (0 unknown, else 1 to 5).
std::int32_t device_type_of(std::uint32_t typeCode);

}  // namespace MapsService
