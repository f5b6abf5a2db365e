#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/content/voice_info.h"
#include "service/core/result_codes.h"
#include "service/protocol/server_record.h"

namespace MapsService {

class PhoneDrive;
struct MapsUpdateInfo;

// The compiled-in map server: the URL is kServerUrlPrefix followed by the root.
inline constexpr const char* kDefaultServerRoot = "atlasync-maps.net";
inline constexpr const wchar_t* kServerUrlPrefix = L"http://mapdata.";

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

// The service's operations, one wizard step each; every one answers a result
// code. Run one at a time from one thread; only cancel_operation may come from
// another thread while one runs.
[[nodiscard]] Result initialize(std::int32_t driveFlags);
Result finalize();
[[nodiscard]] Result set_server_root(const std::wstring& root);
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

// Reads the maps drive in the folder `root` without starting the service: 4
// when it holds no maps drive. With `regions`, its complete regions are read
// as well, with the catalogs of the server that set_server_root named; a
// failure there is answered with the summary filled in up to the regions.
[[nodiscard]] Result read_drive_summary(const std::wstring& root, bool regions,
                                        DriveSummary& summary);

// The drive chosen by the last select_phone_drive; null before or after an unknown id.
PhoneDrive* current_drive();
// The narrow server root in use.
std::string server_root();

}  // namespace MapsService
