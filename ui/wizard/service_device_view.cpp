#include "ui/wizard/service_device_view.h"

#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/devices/file_system.h"

namespace atlasync::ui {

namespace {

using MapsService::Phone;
using MapsService::PhoneDrive;

// Messages refer to phones and drives through their message interfaces; the
// phone manager makes only these classes.
const Phone& as_phone(const MapsService::MessagePhone& phone) {
    return static_cast<const Phone&>(phone);
}

PhoneDrive& as_drive(const MapsService::MessageDrive& drive) {
    return const_cast<PhoneDrive&>(static_cast<const PhoneDrive&>(drive));
}

}  // namespace

std::uint32_t ServiceDeviceView::phone_id(const MapsService::MessagePhone& phone) const {
    return static_cast<std::uint32_t>(as_phone(phone).id());
}

std::wstring ServiceDeviceView::phone_name(const MapsService::MessagePhone& phone) const {
    return as_phone(phone).name();
}

std::uint32_t ServiceDeviceView::drive_id(const MapsService::MessageDrive& drive) const {
    return static_cast<std::uint32_t>(as_drive(drive).id());
}

std::wstring ServiceDeviceView::memory_type(const MapsService::MessageDrive& drive) const {
    return as_drive(drive).file_system().get_memory_type();
}

std::int32_t ServiceDeviceView::connection_kind(const MapsService::MessageDrive& drive) const {
    return as_drive(drive).file_system().connection_kind();
}

bool ServiceDeviceView::installed_mapsapp_version(const MapsService::MessageDrive& drive,
                                                  bool& versionValid) const {
    MapsService::MapsappVersionInfo version;
    const bool answer = as_drive(drive).get_installed_mapsapp_version(version);
    versionValid = version.is_valid();
    return answer;
}

MapsService::MapsappVersionInfo ServiceDeviceView::installed_version(
    const MapsService::MessageDrive& drive) const {
    MapsService::MapsappVersionInfo version;
    (void)as_drive(drive).get_installed_mapsapp_version(version);
    return version;
}

std::wstring ServiceDeviceView::map_package_version_text(
    const MapsService::MessageDrive& drive) const {
    return as_drive(drive).map_package_version_text();
}

}  // namespace atlasync::ui
