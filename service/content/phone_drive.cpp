#include "service/content/phone_drive.h"

#include <utility>

#include "service/content/content_text.h"
#include "service/content/download_package.h"
#include "service/content/drive_lock.h"
#include "service/content/map_settings.h"
#include "service/content/maps_bucket.h"
#include "service/content/package_container.h"
#include "service/content/phone.h"
#include "service/content/update_record.h"
#include "service/core/sync.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"

namespace MapsService {

namespace {

std::int32_t next_drive_id() {
    static std::atomic<std::int32_t> counter{0};
    return ++counter;
}

}  // namespace

PhoneDrive::PhoneDrive(Phone* phone, std::unique_ptr<FileSystem> fileSystem, bool valid,
                       std::shared_ptr<const MapSettings> settings)
    : m_id(next_drive_id()),
      m_phone(phone),
      m_fileSystem(std::move(fileSystem)),
      m_mapSettings(std::move(settings)),
      m_valid(valid) {}

PhoneDrive::~PhoneDrive() {
    drop_fetches_ahead();
    // The content refers to the file system; it goes first.
    m_bucket.reset();
    m_mapContainer.reset();
    m_voiceContainer.reset();
    m_mapSettings.reset();
    m_fileSystem->reserved_operation();
}

Result PhoneDrive::hold_update_lock() {
    return m_updateLock != nullptr ? kResultOk : DriveUpdateLock::take(*this, m_updateLock);
}

void PhoneDrive::release_update_lock() {
    drop_fetches_ahead();
    m_updateLock.reset();
}

void PhoneDrive::carry_fetches_ahead(std::unique_ptr<FetchesAhead> fetches) {
    m_fetchesAhead = std::move(fetches);  // those carried before stop
}

std::unique_ptr<FetchesAhead> PhoneDrive::take_fetches_ahead() {
    return std::move(m_fetchesAhead);
}

void PhoneDrive::drop_fetches_ahead() {
    m_fetchesAhead.reset();
}

std::wstring PhoneDrive::name() const {
    return m_fileSystem->get_root_directory().path();
}

std::shared_ptr<const MapSettings> PhoneDrive::map_settings() const {
    std::lock_guard lock(m_settingsMutex);
    return m_mapSettings;
}

void PhoneDrive::publish_map_settings(std::shared_ptr<const MapSettings> settings) {
    std::shared_ptr<const MapSettings> replaced;
    std::lock_guard lock(m_settingsMutex);
    // The old snapshot goes outside the lock when its last reader lets it go.
    replaced = std::exchange(m_mapSettings, std::move(settings));
}

void PhoneDrive::load_map_settings() {
    std::lock_guard change(m_settingsChangeMutex);
    publish_map_settings(std::make_shared<MapSettings>(*m_fileSystem));
}

Result PhoneDrive::edit_map_settings(const std::function<Result(MapSettings&)>& edit) {
    std::lock_guard change(m_settingsChangeMutex);
    const std::shared_ptr<const MapSettings> settings = map_settings();
    if (settings == nullptr) {
        return kResultFailed;
    }
    auto copy = std::make_shared<MapSettings>(*settings);
    const Result result = edit(*copy);
    if (result == kResultOk) {
        publish_map_settings(std::move(copy));
    }
    return result;
}

std::wstring PhoneDrive::server_url() const {
    std::lock_guard lock(m_serverUrlMutex);
    return m_serverUrl;
}

void PhoneDrive::set_server_url(std::wstring url) {
    std::lock_guard lock(m_serverUrlMutex);
    m_serverUrl = std::move(url);
}

Result PhoneDrive::vet(Result result) const {
    if (service_cancel_flag().is_set()) {
        return kResultCancelled;
    }
    if (!usable()) {
        return kResultDriveOffline;
    }
    return result;
}

MapsBucket& PhoneDrive::maps_bucket() {
    if (!m_bucket) {
        m_bucket = std::make_unique<MapsBucket>(*this);
    }
    return *m_bucket;
}

MapContainer& PhoneDrive::map_container() {
    if (!m_mapContainer) {
        m_mapContainer = std::make_unique<MapContainer>();
    }
    return *m_mapContainer;
}

VoiceContainer& PhoneDrive::voice_container() {
    if (!m_voiceContainer) {
        m_voiceContainer = std::make_unique<VoiceContainer>();
    }
    return *m_voiceContainer;
}

RegionQNRMap* PhoneDrive::region_table() {
    return m_mapContainer ? m_mapContainer->region_table() : nullptr;
}

VersionInfo PhoneDrive::headed_map_version() {
    UpdateRecord record;
    if (read_update_record(*this, record) == PendingUpdate::Recorded) {
        return record.target;
    }
    const std::shared_ptr<const MapSettings> settings = map_settings();
    return settings != nullptr ? settings->map_version() : VersionInfo();
}

Result PhoneDrive::load_url_infos() {
    return map_settings() == nullptr ? kResultOk : load_url_infos(headed_map_version());
}

Result PhoneDrive::load_url_infos(const VersionInfo& mapVersion) {
    MapContainer& maps = map_container();
    VoiceContainer& voices = voice_container();
    const std::shared_ptr<const MapSettings> settings = map_settings();
    if (settings == nullptr) {
        return kResultOk;
    }
    if (map_package_version_text().empty()) {
        return kResultInvalidDrive;
    }
    m_catalogLoaded = false;
    m_urlInfos.clear();
    const Result mapResult = maps.load(*this, mapVersion);
    if (mapResult == kResultOk) {
        maps.convert_records(m_urlInfos);
    }
    if (service_cancel_flag().is_set()) {
        return kResultCancelled;
    }
    const Result voiceResult = voices.load(*this);
    if (voiceResult == kResultOk) {
        voices.convert_records(m_urlInfos);
    }
    if (service_cancel_flag().is_set()) {
        return kResultCancelled;
    }
    // Half a catalog would make the drive seem to hold less than it does.
    if (mapResult != kResultOk || voiceResult != kResultOk) {
        TraceWarning(L"catalogs of drive %s not loaded: maps %d, voices %d", name().c_str(),
                     mapResult, voiceResult);
        return mapResult != kResultOk ? mapResult : voiceResult;
    }
    if (m_urlInfos.empty()) {
        return kResultServerError;
    }
    m_catalogLoaded = true;
    m_catalogVersion = mapVersion;
    return kResultOk;
}

Result PhoneDrive::ensure_catalog() {
    return map_settings() == nullptr ? kResultOk : ensure_catalog(headed_map_version());
}

Result PhoneDrive::ensure_catalog(const VersionInfo& mapVersion) {
    if (m_catalogLoaded && m_catalogVersion == mapVersion) {
        return kResultOk;
    }
    return load_url_infos(mapVersion);
}

const std::vector<URLInfo>& PhoneDrive::get_url_infos() {
    if (!m_catalogLoaded) {
        const Result result = load_url_infos();
        if (result != kResultOk) {
            TraceWarning(L"catalog records of drive %s not loaded (%d)", name().c_str(), result);
        }
    }
    return m_urlInfos;
}

bool PhoneDrive::find_url_info(std::int32_t id, URLInfo& record) {
    for (const URLInfo& info : get_url_infos()) {
        if (info.id == id) {
            record = info;
            return true;
        }
    }
    return false;
}

Result PhoneDrive::add_url_infos(const std::vector<std::int32_t>& ids, DownloadPackage& package) {
    // Collected apart from the chosen records, so that each add-on goes in once.
    std::vector<URLInfo> addons;
    for (std::int32_t id : ids) {
        URLInfo record;
        if (!find_url_info(id, record)) {
            TraceError("URLInfo with id %d not found", id);
            return kResultFailed;
        }
        package.add_item(record);
        get_addons(to_lower(record.type), {id}, addons);
    }
    for (const URLInfo& addon : addons) {
        package.add_item(addon);
    }
    return kResultOk;
}

void PhoneDrive::get_addons(const std::wstring& type, const std::vector<std::int32_t>& chosen,
                            std::vector<URLInfo>& list) {
    if (type == L"voice") {
        voice_container().get_addons(chosen, list);
    } else if (type == L"region") {
        map_container().get_addons(chosen, list);
    }
}

void PhoneDrive::clear_url_infos() {
    m_urlInfos.clear();
    m_catalogLoaded = false;
}

bool PhoneDrive::get_installed_mapsapp_version(MapsappVersionInfo& version) {
    version = MapsappVersionInfo();
    if (m_phone == nullptr) {
        TraceError("phone of phonedrive with id %d not found", m_id);
        return false;
    }
    const std::shared_ptr<const MapSettings> settings = map_settings();
    if (settings == nullptr) {
        return m_phone->can_install_sis();
    }
    if (!m_phone->can_install_sis() || !m_connected) {
        return false;
    }
    version = MapsappVersionInfo(settings->client_version());
    if (version.is_valid()) {
        version.read_build_text(settings->build());
    }
    return version.is_valid();
}

std::wstring PhoneDrive::map_package_version_text() const {
    const std::shared_ptr<const MapSettings> settings = map_settings();
    return settings == nullptr ? std::wstring() : settings->map_package_version_text();
}

MessagePhone* PhoneDrive::message_phone() const {
    return m_phone;
}

std::wstring PhoneDrive::message_text() const {
    return name();
}

}  // namespace MapsService
