#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/core/result_codes.h"

namespace MapsService {

class FileSystem;

// The process-wide registry of phones and their drives. Phones and drives are
// created on first sight and live until FreeDeviceMap: losing one only clears
// its connected flag, so a message that names a lost phone or drive stays
// safe to read, and a returning drive keeps its id.
class PhoneManager {
public:
    PhoneManager() = delete;

    // The phone with that name and serial number, made when new; connected
    // again, and announced with MSG_PHONE_FOUND either way.
    static Phone* AddPhone(const std::wstring& name, const std::wstring& serialNumber);
    // Takes the file system. A known drive (same phone, same root) is reused
    // and keeps its own file system, which takes the new one's connection
    // details and reloads its settings; the new one is released. Null only when
    // a new drive could not be made. namedByUser marks a folder handed in by
    // name before its drive is announced.
    static PhoneDrive* AddPhoneDrive(Phone* phone, std::unique_ptr<FileSystem> fileSystem,
                                     bool vendorDevice, bool namedByUser = false);
    static void OnDriveLost(PhoneDrive* drive);
    static void RemovePhone(Phone* phone);

    static void SetDriveFlags(std::int32_t value);
    static std::int32_t drive_flags();

    // The connected drive with that id, or null.
    static PhoneDrive* FindDrive(std::int32_t id);
    [[nodiscard]] static Result GetConnectedDrives(std::vector<PhoneDrive*>& drives);
    [[nodiscard]] static Result GetConnectedPhones(std::vector<Phone*>& phones);
    // Every phone and drive the manager holds, connected or not, in list order.
    static std::vector<Phone*> all_phones();
    static std::vector<PhoneDrive*> all_drives();

    // At shutdown, after the last message naming a phone or drive was read.
    static void FreeDeviceMap();
};

}  // namespace MapsService
