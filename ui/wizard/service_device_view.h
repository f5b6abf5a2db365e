#pragma once

#include <string>

#include "service/facade/maps_service.h"
#include "ui/messaging/device_view.h"

namespace atlasync::ui {

// Answers the observers' questions for the service's own phones and drives,
// which are the only objects its messages carry.
class ServiceDeviceView : public DeviceView {
public:
    std::uint32_t phone_id(const MapsService::MessagePhone& phone) const override;
    std::wstring phone_name(const MapsService::MessagePhone& phone) const override;
    std::uint32_t drive_id(const MapsService::MessageDrive& drive) const override;
    std::wstring memory_type(const MapsService::MessageDrive& drive) const override;
    std::int32_t connection_kind(const MapsService::MessageDrive& drive) const override;
    bool installed_mapsapp_version(const MapsService::MessageDrive& drive,
                                   bool& versionValid) const override;
    bool named_by_user(const MapsService::MessageDrive& drive) const override;

    // The maps application on the drive; not valid when none was read.
    MapsService::MapsappVersionInfo installed_version(const MapsService::MessageDrive& drive) const;
    // The version text of the drive's map data; empty without maps settings.
    std::wstring map_package_version_text(const MapsService::MessageDrive& drive) const;
};

}  // namespace atlasync::ui
