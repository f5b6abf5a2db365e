#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "service/content/config_file.h"
#include "service/content/quota_file.h"
#include "service/core/result_codes.h"

namespace MapsService {

class FileSystem;

// The maps settings of one drive: its quota file and its config.cfg. Building
// one is the test whether a drive is a maps drive.
class MapSettings {
public:
    // Throws PhoneDriveInvalidException when the drive is no maps drive.
    explicit MapSettings(FileSystem& fileSystem);
    // A deep copy, to be changed while readers keep the original.
    MapSettings(const MapSettings& other);
    MapSettings& operator=(const MapSettings&) = delete;

    QuotaFile& quota_file() { return *m_quotaFile; }
    const QuotaFile& quota_file() const { return *m_quotaFile; }
    ConfigFile& config_file() { return *m_configFile; }
    const ConfigFile& config_file() const { return *m_configFile; }

    const std::wstring& cachedats() const { return m_quotaFile->cachedats(); }
    const std::wstring& diskcache() const { return m_quotaFile->diskcache(); }
    const std::wstring& voicefiles() const { return m_quotaFile->voicefiles(); }
    const std::wstring& client_id() const { return m_quotaFile->client_id(); }
    const std::wstring& ttffiles() const { return m_quotaFile->ttffiles(); }
    const std::wstring& build() const { return m_quotaFile->build(); }
    const std::wstring& language_id() const { return m_quotaFile->language_id(); }
    std::uint64_t quota() const { return m_quotaFile->quota(); }
    const VersionInfo& client_version() const { return m_quotaFile->client_version(); }
    const VersionInfo& map_version() const { return m_configFile->map_version(); }
    std::uint64_t diskcache_size() const { return m_configFile->diskcache_size(); }

    // The parent of diskcache, relative to the drive root.
    std::wstring maps_root() const;
    // "l" and the language id, two digits at least; empty without an id.
    std::wstring language_code() const;
    // The version text a Map1Package asks for: "a.b.c" of the map version,
    // "h" appended for a legacy client.
    std::wstring map_package_version_text() const;
    std::wstring map_package_version_text(const VersionInfo& mapVersion) const;

    // Writes the quota file only when the value changed.
    [[nodiscard]] Result set_voicefiles(const std::wstring& value);

private:
    std::shared_ptr<QuotaFile> m_quotaFile;
    std::shared_ptr<ConfigFile> m_configFile;
};

}  // namespace MapsService
