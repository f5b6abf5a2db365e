#include "ui/wizard/service_device_view.h"

#include "service/facade/maps_service.h"

namespace atlasync::ui {

std::uint32_t ServiceDeviceView::phone_id(const MapsService::MessagePhone& phone) const {
    return static_cast<std::uint32_t>(MapsService::phone_id(phone));
}

std::wstring ServiceDeviceView::phone_name(const MapsService::MessagePhone& phone) const {
    return MapsService::phone_name(phone);
}

std::uint32_t ServiceDeviceView::drive_id(const MapsService::MessageDrive& drive) const {
    return static_cast<std::uint32_t>(MapsService::drive_id(drive));
}

std::wstring ServiceDeviceView::memory_type(const MapsService::MessageDrive& drive) const {
    return MapsService::drive_memory_type(drive);
}

std::int32_t ServiceDeviceView::connection_kind(const MapsService::MessageDrive& drive) const {
    return MapsService::drive_connection_kind(drive);
}

bool ServiceDeviceView::installed_mapsapp_version(const MapsService::MessageDrive& drive,
                                                  bool& versionValid) const {
    MapsService::MapsappVersionInfo version;
    const bool answer = MapsService::installed_mapsapp_version(drive, version);
    versionValid = version.is_valid();
    return answer;
}

bool ServiceDeviceView::named_by_user(const MapsService::MessageDrive& drive) const {
    return MapsService::drive_named_by_user(drive);
}

MapsService::MapsappVersionInfo ServiceDeviceView::installed_version(
    const MapsService::MessageDrive& drive) const {
    MapsService::MapsappVersionInfo version;
    (void)MapsService::installed_mapsapp_version(drive, version);
    return version;
}

std::wstring ServiceDeviceView::map_package_version_text(
    const MapsService::MessageDrive& drive) const {
    return MapsService::map_package_version_text(drive);
}

}  // namespace atlasync::ui
