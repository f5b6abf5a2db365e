#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/content/version_info.h"
#include "service/core/ini_file.h"
#include "service/core/result_codes.h"

namespace MapsService {

class PhoneDrive;
struct UpdateRecord;

// Decides whether the map data of one drive is current and performs the
// version switch: compares the drive's map version with what the map server
// offers, wipes old map data, moves an old-style disk cache to "cities" and
// fetches the drive's two index files. Lives for one facade call, so the
// server is asked at most once per call.
class VersionManager {
public:
    // The settings file is where "ForceMapVersion" is read.
    explicit VersionManager(PhoneDrive& drive, IniFile& settings = service_settings());

    // 0 current, 6 an update is offered, 32769 the version changed, 1 failure.
    [[nodiscard]] Result Check_version(bool force_update);
    // What the facade calls: 0, 6, 9 or the failing step's code.
    [[nodiscard]] Result update_map_version(bool force_update);
    // Records the update on the drive, wipes maps and voices and heads for the
    // target: 32769, or the failing step's code with the version unchanged.
    // config.cfg takes the target only once the download brought every item.
    // A drive that records an update to this target already is not wiped
    // again: the download goes on with the items it has not placed.
    [[nodiscard]] Result UpdateMapsVersion(const VersionInfo& target);
    // Records an update to the server's version before a wipe that does not
    // come through UpdateMapsVersion. A record the drive holds already keeps
    // its target and ids, but what it noted as placed and wiped goes.
    [[nodiscard]] Result record_update();
    [[nodiscard]] Result download_cachedat_header();
    [[nodiscard]] Result download_category_tree();
    [[nodiscard]] Result move_diskcache();
    [[nodiscard]] Result GetServerVersion(VersionInfo& version);
    // Offers the newest feature release of the drive's own major.minor when the
    // drive is behind the target's: 0, or 1 when the list cannot be fetched.
    [[nodiscard]] Result Check_major_minor_or_better_feature(const VersionInfo& map,
                                                             VersionInfo& target);
    // Stores the map version and writes config.cfg when it changed.
    [[nodiscard]] Result setVersion(const VersionInfo& version);

    const VersionInfo& map_version() const { return m_mapVersion; }
    const VersionInfo& client_version() const { return m_clientVersion; }

private:
    [[nodiscard]] Result adopt(const VersionInfo& version);
    // Records the update (its ids gathered first) and wipes maps and voices,
    // once everything that can refuse it has had its say.
    [[nodiscard]] Result wipe_for_update(UpdateRecord& record);
    // The forced version, else the server's; forced tells which.
    [[nodiscard]] Result requested_version(VersionInfo& target, bool& forced);
    bool diskcache_move_needed();
    [[nodiscard]] Result run_diskcache_move();
    [[nodiscard]] Result move_folder_content(const std::wstring& source, const std::wstring& target,
                                             bool withFolders);
    // The drive root joined with the quota file's disk cache.
    std::wstring diskcache_path() const;
    std::wstring root_path() const;
    [[nodiscard]] Result store_index_file(const std::wstring& path,
                                          const std::vector<std::uint8_t>& data);

    PhoneDrive& m_drive;  // not owned
    IniFile& m_settings;
    VersionInfo m_serverVersion;
    VersionInfo m_mapVersion{0, 0, 13, 0};
    VersionInfo m_clientVersion{1, 2, 0, 0};
};

}  // namespace MapsService
