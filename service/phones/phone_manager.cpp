#include "service/phones/phone_manager.h"

#include <algorithm>
#include <atomic>
#include <cwctype>

#include "service/content/map_settings.h"
#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"

namespace MapsService {

namespace {

struct Registry {
    Mutex phoneMutex;
    std::vector<std::unique_ptr<Phone>> phones;
    Mutex driveMutex;
    std::vector<std::unique_ptr<PhoneDrive>> drives;
    std::atomic<std::int32_t> driveFlags{0};
};

Registry& registry() {
    static Registry instance;
    return instance;
}

// The list's entries in order, all or only the connected ones, under its mutex.
template <typename T>
std::vector<T*> entries(Mutex& mutex, const std::vector<std::unique_ptr<T>>& list,
                        bool connectedOnly) {
    ScopedLock lock(mutex);
    std::vector<T*> result;
    for (const auto& entry : list) {
        if (!connectedOnly || entry->connected()) {
            result.push_back(entry.get());
        }
    }
    return result;
}

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return text;
}

// Whether the drive may hold maps: by its settings when it has them (read
// into `settings`), else by the drive flags and its memory type. A phone
// without a type takes one from the drive's quota file.
bool evaluate_validity(Phone& phone, FileSystem& fileSystem,
                       std::shared_ptr<const MapSettings>& settings) {
    try {
        settings = std::make_shared<MapSettings>(fileSystem);
    } catch (const std::exception&) {
        settings.reset();
        const std::wstring& memory = fileSystem.get_memory_type();
        switch (registry().driveFlags.load()) {
            case 1:
                return memory == L"MMC";
            case 2:
                return memory == L"DEV" || memory == L"MMC";
            default:
                return false;
        }
    }
    if (phone.device_type() == 0) {
        const bool legacy = lower(settings->client_id()).find(L"qtl") != std::wstring::npos;
        phone.set_device_type(legacy ? 1 : 3);
    }
    return true;
}

}  // namespace

Phone* PhoneManager::AddPhone(const std::wstring& name, const std::wstring& serialNumber) {
    Registry& all = registry();
    ScopedLock lock(all.phoneMutex);
    TraceInfo(L"PhoneManager::AddPhone %s", name.c_str());
    Phone* phone = nullptr;
    for (const auto& known : all.phones) {
        if (known->name() == name && known->serial_number() == serialNumber) {
            phone = known.get();
            break;
        }
    }
    if (phone == nullptr) {
        all.phones.push_back(std::make_unique<Phone>(name, serialNumber));
        phone = all.phones.back().get();
    }
    phone->set_connected(true);
    service_cancel_flag().reset();
    // The message refers to the phone; the registry keeps it alive until FreeDeviceMap.
    OnPhoneFound(phone);
    return phone;
}

PhoneDrive* PhoneManager::AddPhoneDrive(Phone* phone, std::unique_ptr<FileSystem> fileSystem,
                                        bool vendorDevice, bool namedByUser) {
    if (phone == nullptr || fileSystem == nullptr) {
        TraceError("PhoneManager::AddPhoneDrive(): invalid parameter (NULL)");
        return nullptr;
    }
    Registry& all = registry();
    ScopedLock lock(all.driveMutex);
    const std::wstring root = fileSystem->get_root_directory().path();
    TraceInfo(L"PhoneManager::AddPhoneDrive(%s of phone %s) start...", root.c_str(),
              phone->name().c_str());
    PhoneDrive* drive = nullptr;
    for (const auto& known : all.drives) {
        if (known->phone()->id() == phone->id() && known->name() == root) {
            drive = known.get();
            break;
        }
    }
    if (drive != nullptr) {
        TraceInfo(L"reusing already connected drive %s", root.c_str());
        std::shared_ptr<const MapSettings> settings;
        const bool valid = evaluate_validity(*phone, *fileSystem, settings);
        drive->set_valid(valid);
        // It may return over another link (first USB, now Bluetooth): the kept
        // file system must reach the phone the way it is connected now.
        drive->file_system().take_connection(*fileSystem);
        if (settings != nullptr) {
            // The drive would otherwise go on with the settings of the last
            // connection, though they may have changed since. They are read
            // again through the kept file system, which the drive's refer to.
            settings.reset();
            try {
                drive->load_map_settings();
            } catch (const std::exception&) {
                TraceWarning(L"maps settings of drive %s not refreshed", root.c_str());
            }
        }
        fileSystem.reset();
    } else {
        TraceInfo("creating new phone_drive object");
        std::shared_ptr<const MapSettings> settings;
        const bool valid = evaluate_validity(*phone, *fileSystem, settings);
        try {
            all.drives.push_back(std::make_unique<PhoneDrive>(phone, std::move(fileSystem), valid,
                                                              std::move(settings)));
            drive = all.drives.back().get();
        } catch (const std::exception&) {
            TraceError(L"phone_drive %s is not a valid maps drive", root.c_str());
            return nullptr;
        }
        TraceInfo(L"%s phone_drive %s created", valid ? L"valid" : L"invalid", root.c_str());
    }
    // A lost drive left its phone's list; a returning one belongs to it again.
    phone->add_drive(drive);
    drive->set_connected(true);
    drive->set_vendor_device(vendorDevice);
    if (namedByUser) {
        drive->set_named_by_user();
    }
    if (drive->valid()) {
        OnDriveFound(drive);
    }
    return drive;
}

void PhoneManager::OnDriveLost(PhoneDrive* drive) {
    if (drive == nullptr) {
        TraceError("PhoneManager::OnDriveLost(): invalid parameter (NULL)");
        return;
    }
    Registry& all = registry();
    ScopedLock lock(all.driveMutex);
    const std::int32_t id = drive->id();
    for (const auto& known : all.drives) {
        if (known->id() != id) {
            continue;
        }
        // Gone before the message is out, so that whoever reads it finds the drive lost.
        known->phone()->remove_drive(known.get());
        known->set_connected(false);
        if (known->valid()) {
            MapsService::OnDriveLost(static_cast<MessageDrive*>(known.get()));
        }
    }
}

void PhoneManager::RemovePhone(Phone* phone) {
    if (phone == nullptr) {
        TraceError("PhoneManager::RemovePhone(): invalid parameter (NULL)");
        return;
    }
    Registry& all = registry();
    ScopedLock lock(all.phoneMutex);
    for (const auto& known : all.phones) {
        if (known->id() == phone->id()) {
            known->set_connected(false);
        }
    }
    // After the flag, as for drives: the reader of the message finds the phone lost.
    OnPhoneLost(phone);
}

void PhoneManager::SetDriveFlags(std::int32_t value) {
    TraceInfo("PhoneManager::SetDriveFlags to %d", value);
    registry().driveFlags = value;
}

std::int32_t PhoneManager::drive_flags() {
    return registry().driveFlags.load();
}

PhoneDrive* PhoneManager::FindDrive(std::int32_t id) {
    Registry& all = registry();
    ScopedLock lock(all.driveMutex);
    for (const auto& drive : all.drives) {
        if (drive->id() == id && drive->connected()) {
            return drive.get();
        }
    }
    return nullptr;
}

Result PhoneManager::GetConnectedDrives(std::vector<PhoneDrive*>& drives) {
    drives = entries(registry().driveMutex, registry().drives, true);
    return kResultOk;
}

Result PhoneManager::GetConnectedPhones(std::vector<Phone*>& phones) {
    phones = entries(registry().phoneMutex, registry().phones, true);
    return kResultOk;
}

std::vector<Phone*> PhoneManager::all_phones() {
    return entries(registry().phoneMutex, registry().phones, false);
}

std::vector<PhoneDrive*> PhoneManager::all_drives() {
    return entries(registry().driveMutex, registry().drives, false);
}

void PhoneManager::FreeDeviceMap() {
    Registry& all = registry();
    {
        ScopedLock lock(all.phoneMutex);
        all.phones.clear();
    }
    ScopedLock lock(all.driveMutex);
    all.drives.clear();
}

}  // namespace MapsService
