#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The types of the calls below come with them: a caller includes this file only.
#include "service/content/maps_update_info.h"
#include "service/content/version_info.h"
#include "service/content/voice_info.h"
#include "service/core/message.h"
#include "service/core/result_codes.h"
#include "service/protocol/server_record.h"
#include "service/protocol/server_url.h"

namespace MapsService {

class PhoneDrive;

// The compiled-in map server's root; server_url_of_root gives its URL.
inline constexpr const char* kDefaultServerRoot = "atlasync-maps.net";

// One entry of what get_download_size would fetch, nested under its parent item.
struct DownloadItemInfo {
    std::wstring name;
    std::uint64_t byteSize = 0;     // to download
    std::uint64_t contentSize = 0;  // after unpacking
    std::int32_t id = 0;
    std::int32_t itemType = 0;  // DownloadItemType's number
    std::vector<DownloadItemInfo> children;
};

// What a maps drive in a local folder holds, as read_drive_summary finds it.
struct DriveSummary {
    std::wstring clientId;
    std::wstring clientVersion;  // "a.b.c.d"
    std::wstring mapVersion;
    std::uint64_t quota = 0;
    std::wstring diskcache;
    std::uint64_t diskcacheSize = 0;
    std::wstring voicefiles;
    std::wstring languageCode;
    // Complete regions, by id and name; read only when asked for, since the
    // region table comes from the map server.
    struct Region {
        std::int32_t id = 0;
        std::wstring name;
    };
    std::vector<Region> regions;
    bool regionsRead = false;
    std::vector<VoiceInfo> voices;
};

// A connected phone and its drives, as plain records.
struct DriveInfo {
    std::int32_t id = 0;
    std::wstring name;        // the drive's path, "\\E:\\" or a volume's folder
    std::wstring memoryType;  // "MMC", "DEV", ...
    bool valid = false;       // a drive the service may update
    std::int64_t totalBytes = 0;
    std::int64_t freeBytes = 0;
};

struct PhoneInfo {
    std::int32_t id = 0;
    std::wstring name;
    std::wstring serialNumber;
    std::wstring model;
    std::int32_t deviceType = 0;
    std::int32_t generation = 0;
    std::vector<DriveInfo> drives;
};

// What the current drive holds and what the server offers for it.
struct CurrentDriveVersions {
    std::wstring name;
    VersionInfo installedMaps;  // not valid without maps settings
    VersionInfo offeredMaps;    // not valid when the server's version is unknown
    MapsappVersionInfo installedApplication;
};

// The service's operations, one wizard step each; every one answers a result
// code. Run one at a time from one thread; only cancel_operation may come from
// another thread while one runs.
[[nodiscard]] Result initialize(std::int32_t driveFlags);
Result finalize();
// 1 for a root server_url_of_root refuses; the root in use stays.
[[nodiscard]] Result set_server_root(const std::wstring& root);
// The PEM certificates that an https server's must chain to, instead of the
// system's trust store; empty: the store. The caller has checked the file.
[[nodiscard]] Result set_ca_file(const std::wstring& path);
std::wstring get_server_url();
[[nodiscard]] Result get_mapsapp_catalog();
[[nodiscard]] Result select_phone_drive(std::int32_t id);
[[nodiscard]] Result GetRegionList(std::vector<std::int32_t>& regions);
[[nodiscard]] Result GetVoicesList(std::vector<VoiceInfo>& voices);
[[nodiscard]] Result get_mapsapp_update_info(MapsUpdateInfo& info);
[[nodiscard]] Result update_mapsapp(const MapsUpdateInfo& info);
[[nodiscard]] Result update_maps_version();
[[nodiscard]] Result delete_all_maps();
[[nodiscard]] Result delete_all_voices();
// Count 1: bytes to download; count 2: bytes to write after unpacking.
[[nodiscard]] Result get_download_size(const std::vector<std::int32_t>& regions,
                                       const std::vector<VoiceInfo>& voices, std::uint64_t& count1,
                                       std::uint64_t& count2, std::vector<DownloadItemInfo>& items);
// The voices are those of GetVoicesList: the ones linked to a catalog item are fetched.
[[nodiscard]] Result download(const std::vector<std::int32_t>& regions,
                              const std::vector<VoiceInfo>& voices);
[[nodiscard]] Result GetPackage(const std::wstring& server, const std::wstring& package,
                                const std::wstring& language, const std::wstring& version,
                                const std::wstring& operatingSystem,
                                std::vector<ServerRecord>& records);
Result cancel_operation();
// Why the last of the operations above failed, in a line a user can act on
// ("cannot reach the map server mapdata.example: Couldn't resolve host name");
// empty when it gave no cause beyond its code.
std::wstring last_failure_cause();

// Reads the maps drive in the folder `root` without starting the service: 4
// when it holds no maps drive. With `regions`, its complete regions are read
// as well, with the catalogs of the server that set_server_root named; a
// failure there is answered with the summary filled in up to the regions.
[[nodiscard]] Result read_drive_summary(const std::wstring& root, bool regions,
                                        DriveSummary& summary);

// Hands a mounted folder to the running service as a USB volume just plugged
// in, its drive marked as named by the user; returns once its phone and drive
// are known. 1 before initialize.
[[nodiscard]] Result add_volume(const std::wstring& root);
// The connected phones, in the order they were found.
std::vector<PhoneInfo> connected_phones();
// The first connected drive, in the order drives were found, that holds maps
// the service can read; 0 when there is none.
std::int32_t first_maps_drive_id();
// 3 without a current drive.
[[nodiscard]] Result read_current_drive_versions(CurrentDriveVersions& versions);

// What the front ends may ask of the phones and drives that messages name:
// every one of them is one of the service's own.
std::int32_t phone_id(const MessagePhone& phone);
std::wstring phone_name(const MessagePhone& phone);
std::int32_t drive_id(const MessageDrive& drive);
// "MMC" for a memory card, "DEV" for the phone memory.
std::wstring drive_memory_type(const MessageDrive& drive);
// 0 to 3 through the connectivity library, 4 for a local volume, 255 unknown.
std::int32_t drive_connection_kind(const MessageDrive& drive);
// The installed maps application; false when the phone cannot say (for a drive
// without maps settings: whether its phone can install applications).
bool installed_mapsapp_version(const MessageDrive& drive, MapsappVersionInfo& version);
// The version text of the drive's map data; empty without maps settings.
std::wstring map_package_version_text(const MessageDrive& drive);
// A folder handed in with add_volume: a maps drive of its own, with no phone
// behind it that installs applications.
bool drive_named_by_user(const MessageDrive& drive);

// The drive chosen by the last select_phone_drive; null before or after an unknown id.
PhoneDrive* current_drive();
// The narrow server root in use.
std::string server_root();

}  // namespace MapsService
