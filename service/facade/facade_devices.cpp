// The phones and drives as the front ends see them: plain records, and
// answers about the phones and drives that messages name.

#include "service/content/map_settings.h"
#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/content/version_manager.h"
#include "service/devices/file_system.h"
#include "service/facade/facade_internal.h"
#include "service/phones/phone_manager.h"
#include "service/phones/phone_platform.h"

namespace MapsService {

namespace {

// The phone manager makes every phone and drive that a message names, and
// keeps it until the service is finalised.
const Phone& as_phone(const MessagePhone& phone) {
    return static_cast<const Phone&>(phone);
}

PhoneDrive& as_drive(const MessageDrive& drive) {
    return const_cast<PhoneDrive&>(static_cast<const PhoneDrive&>(drive));
}

DriveInfo drive_info(PhoneDrive& drive) {
    FileSystem& files = drive.file_system();
    return {drive.id(),
            drive.name(),
            files.get_memory_type(),
            drive.valid(),
            static_cast<std::int64_t>(files.total_space_bytes()),
            static_cast<std::int64_t>(files.free_space_bytes())};
}

}  // namespace

Result add_volume(const std::wstring& root) {
    return run_operation("add_volume", [&] { return add_usb_volume(root); });
}

std::vector<PhoneInfo> connected_phones() {
    std::vector<PhoneInfo> result;
    (void)guarded("connected_phones", [&] {
        std::vector<Phone*> phones;
        (void)PhoneManager::GetConnectedPhones(phones);
        for (Phone* phone : phones) {
            PhoneInfo info{phone->id(),
                           phone->name(),
                           phone->serial_number(),
                           phone->model_name(),
                           phone->device_type(),
                           phone->device_generation(),
                           {}};
            for (PhoneDrive* drive : phone->drives()) {
                info.drives.push_back(drive_info(*drive));
            }
            result.push_back(std::move(info));
        }
        return kResultOk;
    });
    return result;
}

std::int32_t first_maps_drive_id() {
    std::int32_t found = 0;
    (void)guarded("first_maps_drive_id", [&] {
        std::vector<PhoneDrive*> drives;
        (void)PhoneManager::GetConnectedDrives(drives);
        for (PhoneDrive* drive : drives) {
            if (drive->valid() && drive->map_settings() != nullptr) {
                found = drive->id();
                break;
            }
        }
        return kResultOk;
    });
    return found;
}

Result read_current_drive_versions(CurrentDriveVersions& versions) {
    return guarded("read_current_drive_versions", [&] {
        versions = CurrentDriveVersions();
        PhoneDrive* drive = current_drive();
        if (drive == nullptr) {
            return kResultNoDriveSelected;
        }
        versions.name = drive->name();
        if (const std::shared_ptr<const MapSettings> settings = drive->map_settings()) {
            versions.installedMaps = settings->map_version();
            VersionManager manager(*drive);
            if (manager.GetServerVersion(versions.offeredMaps) != kResultOk) {
                versions.offeredMaps = VersionInfo();
            }
        }
        (void)drive->get_installed_mapsapp_version(versions.installedApplication);
        return kResultOk;
    });
}

std::int32_t phone_id(const MessagePhone& phone) {
    return as_phone(phone).id();
}

std::wstring phone_name(const MessagePhone& phone) {
    return as_phone(phone).name();
}

std::int32_t drive_id(const MessageDrive& drive) {
    return as_drive(drive).id();
}

std::wstring drive_memory_type(const MessageDrive& drive) {
    return as_drive(drive).file_system().get_memory_type();
}

std::int32_t drive_connection_kind(const MessageDrive& drive) {
    return as_drive(drive).file_system().connection_kind();
}

bool installed_mapsapp_version(const MessageDrive& drive, MapsappVersionInfo& version) {
    return as_drive(drive).get_installed_mapsapp_version(version);
}

std::wstring map_package_version_text(const MessageDrive& drive) {
    return as_drive(drive).map_package_version_text();
}

bool drive_named_by_user(const MessageDrive& drive) {
    return as_drive(drive).named_by_user();
}

}  // namespace MapsService
