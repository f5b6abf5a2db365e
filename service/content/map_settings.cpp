#include "service/content/map_settings.h"

#include "service/content/mapsapp_installation.h"
#include "service/core/exceptions.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/devices/path_helpers.h"

namespace MapsService {

namespace {

const VersionInfo kFreshConfigClient(1, 3, 15, 0);
const VersionInfo kFreshConfigMapVersion(0, 1, 18, 0, 0);

}  // namespace

MapSettings::MapSettings(FileSystem& fileSystem) {
    const std::wstring root = fileSystem.get_root_directory().path();
    TraceInfo(L"creating MapSettings object for drive %s", root.c_str());
    m_quotaFile = QuotaFile::lookup(fileSystem);
    if (!m_quotaFile) {
        throw PhoneDriveInvalidException();
    }
    const std::wstring configPath =
        join_path(join_path(root, m_quotaFile->diskcache()), L"config.cfg");
    try {
        m_configFile = std::make_shared<ConfigFile>(fileSystem, configPath);
    } catch (const PhoneDriveInvalidException&) {
        // This client version ships without config.cfg; the first start makes one.
        if (!(m_quotaFile->client_version() == kFreshConfigClient)) {
            throw;
        }
        m_configFile = std::make_shared<ConfigFile>(fileSystem, configPath, kFreshConfigMapVersion);
    }
    TraceInfo(L"MapSettings object for drive %s created successfully", root.c_str());
    const std::wstring clientVersion = client_version().to_text();
    TraceInfo(
        L"qf: client-id=%s\n client-version=%s \ndiskcache=%s\n voice_path=%s\n "
        L"language-id=%s",
        client_id().c_str(), clientVersion.c_str(), diskcache().c_str(), voicefiles().c_str(),
        language_id().c_str());
    const VersionInfo& map = map_version();
    TraceInfo("config: map-version=%d.%d.%d.%d, diskcache-size=%llu", map.a(), map.b(), map.c(),
              map.d(), static_cast<unsigned long long>(diskcache_size()));
}

MapSettings::MapSettings(const MapSettings& other)
    : m_quotaFile(std::make_shared<QuotaFile>(*other.m_quotaFile)),
      m_configFile(std::make_shared<ConfigFile>(*other.m_configFile)) {}

std::wstring MapSettings::maps_root() const {
    return directory_part(diskcache());
}

std::wstring MapSettings::language_code() const {
    const std::wstring& id = language_id();
    if (id.empty()) {
        return {};
    }
    return id.size() == 1 ? L"l0" + id : L"l" + id;
}

std::wstring MapSettings::map_package_version_text() const {
    return map_package_version_text(map_version());
}

std::wstring MapSettings::map_package_version_text(const VersionInfo& map) const {
    std::wstring text = std::to_wstring(map.a()) + L"." + std::to_wstring(map.b()) + L"." +
                        std::to_wstring(map.c());
    if (is_legacy_client(client_id(), client_version())) {
        text += L"h";
    }
    return text;
}

Result MapSettings::set_voicefiles(const std::wstring& value) {
    if (value == m_quotaFile->voicefiles()) {
        return kResultOk;
    }
    m_quotaFile->set_voicefiles(value);
    return m_quotaFile->write();
}

}  // namespace MapsService
