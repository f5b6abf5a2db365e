#pragma once

#include <cstdint>

#include "devlinx/devlinx_api.h"

namespace MapsService {

// The fields of a device notification's status word.
struct DeviceStatus {
    std::uint32_t change;  // bits 0-15: DLNK_CHANGE_...
    std::uint32_t info;    // bits 16-23: DLNK_INFO_...
    std::uint32_t media;   // bits 24-31: the link the phone uses, DLNK_MEDIA_...

    static DeviceStatus of(std::uint32_t status) {
        return {status & 0xFFFFu, (status >> 16) & 0xFFu, (status >> 24) & 0xFFu};
    }
};

// Phones plugged in and out, as the connectivity library reports them on its
// own threads. One process-wide instance, registered while the connectivity
// side runs.
class DMAPIDeviceNotify final : public IDMAPIDeviceNotify {
public:
    DLNKRESULT OnDeviceListUpdated() override;
    DLNKRESULT OnDeviceAdded(const wchar_t* serialNumber, uint32_t status) override;
    DLNKRESULT OnDeviceRemoved(const wchar_t* serialNumber, uint32_t status) override;
    DLNKRESULT OnDeviceUpdated(const wchar_t* serialNumber, uint32_t status) override;
};

DMAPIDeviceNotify& device_notify();

}  // namespace MapsService
