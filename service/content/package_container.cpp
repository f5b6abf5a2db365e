#include "service/content/package_container.h"

#include <cstdio>

#include "service/content/map_packages.h"
#include "service/content/map_settings.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/content/voice_packages.h"
#include "service/core/trace.h"

namespace MapsService {

void PackageContainer::clear() {
    TraceDebug("MapsService::PackageContainer::clear");
    if (m_package) {
        m_package->clear();
    }
}

void PackageContainer::copy_records(std::vector<ServerRecord>& out) const {
    TraceDebug("MapsService::PackageContainer::copy_to");
    if (m_package) {
        m_package->copy_records(out);
    }
}

void PackageContainer::convert_records(std::vector<URLInfo>& out) {
    if (m_package) {
        m_package->convert_records(out);
    }
}

void PackageContainer::get_addons(const std::vector<std::int32_t>& chosen,
                                  std::vector<URLInfo>& list) {
    TraceDebug("MapsService::PackageContainer::get_addons");
    if (m_package) {
        m_package->get_addons(chosen, list);
    }
}

namespace {

// The settings of a drive whose catalog may be loaded; null (traced) otherwise.
std::shared_ptr<const MapSettings> loadable_settings(PhoneDrive& drive, const wchar_t* kind,
                                                     const VersionInfo& mapVersion) {
    if (!drive.usable()) {
        return nullptr;
    }
    const std::shared_ptr<const MapSettings> settings = drive.map_settings();
    if (settings == nullptr) {
        TraceError(L"try to load %s package of uninitialized maps drive (%s)", kind,
                   drive.name().c_str());
        return nullptr;
    }
    return mapVersion.is_valid() ? settings : nullptr;
}

}  // namespace

Result MapContainer::load(PhoneDrive& drive) {
    const std::shared_ptr<const MapSettings> settings = drive.map_settings();
    return load(drive, settings != nullptr ? settings->map_version() : VersionInfo());
}

Result MapContainer::load(PhoneDrive& drive, const VersionInfo& map) {
    TraceInfo("MapsService::MapContainer::load");
    const std::shared_ptr<const MapSettings> settings = loadable_settings(drive, L"map", map);
    if (settings == nullptr) {
        return kResultFailed;
    }
    if (map.b() == 1) {
        wchar_t version[40];
        std::swprintf(version, 40, L"%02u.%02u.%02u", map.a(), map.b(), map.c());
        m_package =
            std::make_unique<Map20Package>(drive.server_url(), settings->language_code(), version);
    } else {
        m_package = std::make_unique<Map1Package>(drive.server_url(), settings->language_code(),
                                                  settings->map_package_version_text(map));
    }
    return m_package->load();
}

RegionQNRMap* MapContainer::region_table() const {
    auto* maps = dynamic_cast<MapBasePackage*>(m_package.get());
    return maps != nullptr && maps->region_table_loaded() ? &maps->region_table() : nullptr;
}

Result VoiceContainer::load(PhoneDrive& drive) {
    TraceInfo("MapsService::VoiceContainer::load");
    const std::shared_ptr<const MapSettings> settings = loadable_settings(
        drive, L"voice",
        drive.map_settings() != nullptr ? drive.map_settings()->map_version() : VersionInfo());
    if (settings == nullptr) {
        return kResultFailed;
    }
    if (!(settings->client_version() < VersionInfo(1, 3, 0, 0))) {
        m_package = std::make_unique<Voice30Package>(drive.server_url(), settings->language_code());
    } else {
        const std::int32_t generation =
            drive.phone() != nullptr ? drive.phone()->device_generation() : 0;
        m_package = std::make_unique<Voice20Package>(drive.server_url(), generation,
                                                     settings->language_code());
    }
    const Result result = m_package->load();
    if (result == kResultOk) {
        drive.maps_bucket().link_voices(*voice_package());
    }
    return result;
}

VoiceBasePackage* VoiceContainer::voice_package() const {
    return static_cast<VoiceBasePackage*>(m_package.get());
}

}  // namespace MapsService
