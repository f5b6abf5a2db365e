#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "service/content/version_info.h"
#include "service/core/message.h"
#include "service/core/result_codes.h"
#include "service/core/sync.h"
#include "service/protocol/server_record.h"

namespace MapsService {

class DownloadPackage;
class FetchesAhead;
class DriveUpdateLock;
class FileSystem;
class MapContainer;
class MapSettings;
class MapsBucket;
class Phone;
class RegionQNRMap;
struct MapsUpdateInfo;
class VoiceContainer;

// One memory of a phone (or a local volume) that may hold maps. Owns its file
// system and the maps content read from it: the bucket, the map and voice
// containers and the catalog records the server offers for it.
class PhoneDrive : public MessageDrive {
public:
    // `settings`, when given, were read from this file system already.
    PhoneDrive(Phone* phone, std::unique_ptr<FileSystem> fileSystem, bool valid,
               std::shared_ptr<const MapSettings> settings = nullptr);
    ~PhoneDrive() override;
    PhoneDrive(const PhoneDrive&) = delete;
    PhoneDrive& operator=(const PhoneDrive&) = delete;

    std::int32_t id() const { return m_id; }
    Phone* phone() const { return m_phone; }
    FileSystem& file_system() const { return *m_fileSystem; }
    // The root path, by which traces name the drive.
    std::wstring name() const;
    // The maps settings as they are now; null when the drive holds none. Keep
    // the snapshot for as long as the values are used: the settings may be
    // replaced meanwhile, but a snapshot never changes and stays alive.
    std::shared_ptr<const MapSettings> map_settings() const;
    // Reads the settings anew. Throws when the drive holds none that are
    // usable, keeping the settings read before.
    void load_map_settings();
    // Changes the settings: `edit` changes a copy and writes what it changed
    // to the drive. When it answers 0 the copy replaces the settings;
    // otherwise they stay as they were. 1 when the drive holds no settings.
    [[nodiscard]] Result edit_map_settings(const std::function<Result(MapSettings&)>& edit);

    // The map server its catalogs, versions and applications come from: the
    // service hands it down, since the server root is the caller's to set.
    std::wstring server_url() const;
    void set_server_url(std::wstring url);

    bool connected() const { return m_connected; }

    // Held from an update's first change on the drive to its end, so that no
    // second update of the drive runs meanwhile: 0 (also when held already),
    // 19 when another update holds the drive, 5 when no lock can be made.
    [[nodiscard]] Result hold_update_lock();
    // Drops the fetches ahead as well.
    void release_update_lock();
    // Fetches begun by the wipe before an update, going on until the
    // download that follows takes them; dropped with the update lock, with
    // the drive, or by a wipe begun anew. Used by the service's thread alone.
    void carry_fetches_ahead(std::unique_ptr<FetchesAhead> fetches);
    std::unique_ptr<FetchesAhead> take_fetches_ahead();
    void drop_fetches_ahead();
    void set_connected(bool value) { m_connected = value; }
    bool valid() const { return m_valid; }
    void set_valid(bool value) { m_valid = value; }
    bool vendor_device() const { return m_vendorDevice; }
    void set_vendor_device(bool value) { m_vendorDevice = value; }
    // A folder the user handed in by name (add_volume): the wizard offers it
    // as a drive of its own, though no phone behind it installs applications.
    // Once named it stays so for the run, also when the volume is seen again.
    bool named_by_user() const { return m_namedByUser; }
    void set_named_by_user() { m_namedByUser = true; }
    // Still a connected, valid maps drive: what long operations ask before going on.
    bool usable() const { return m_valid && m_connected; }

    // The drive check of every content operation: 2 once the user cancelled,
    // otherwise 15 when the drive is gone, otherwise the code unchanged.
    Result vet(Result result) const;

    // Made on first use; live as long as the drive.
    MapsBucket& maps_bucket();
    MapContainer& map_container();
    VoiceContainer& voice_container();
    // The region table of the loaded map catalog; null before one was loaded.
    RegionQNRMap* region_table();

    // Fills the catalog records from the map and voice catalogs of the map
    // version the drive is headed for: the target of an unfinished update, else
    // config.cfg's. 0 only when both catalogs and the region table loaded.
    [[nodiscard]] Result load_url_infos();
    [[nodiscard]] Result load_url_infos(const VersionInfo& mapVersion);
    // Loads the catalogs unless those of that version are loaded already.
    [[nodiscard]] Result ensure_catalog();
    [[nodiscard]] Result ensure_catalog(const VersionInfo& mapVersion);
    // The records, loaded first when no catalog is.
    const std::vector<URLInfo>& get_url_infos();
    bool find_url_info(std::int32_t id, URLInfo& record);
    // Adds the records of the ids and their add-ons to the package; 1 for an unknown id.
    [[nodiscard]] Result add_url_infos(const std::vector<std::int32_t>& ids,
                                       DownloadPackage& package);
    // "voice" or "region" add-ons of the chosen ids, appended to the list.
    void get_addons(const std::wstring& type, const std::vector<std::int32_t>& chosen,
                    std::vector<URLInfo>& list);
    // Forgets the catalog records, after the map version changed.
    void clear_url_infos();

    // The maps application installed on the drive; see the rules in the source.
    bool get_installed_mapsapp_version(MapsappVersionInfo& version);
    // Empty without map settings.
    std::wstring map_package_version_text() const;
    // The maps application the server offers for this drive's phone: 0, 4
    // without a phone, 16 when nothing fits, or the catalog's code.
    [[nodiscard]] Result get_mapsapp_update_info(MapsUpdateInfo& info);

    MessagePhone* message_phone() const override;
    std::wstring message_text() const override;

private:
    void publish_map_settings(std::shared_ptr<const MapSettings> settings);
    // The target of an unfinished update, else config.cfg's version.
    VersionInfo headed_map_version();

    const std::int32_t m_id;
    Phone* m_phone;  // not owned
    std::unique_ptr<FileSystem> m_fileSystem;
    // Settings are immutable snapshots, replaced whole: a returning drive
    // reloads them on the connectivity library's or the USB handler's thread
    // while the worker and the user-interface thread read them. The pointer is
    // guarded by m_settingsMutex, held only to copy or swap it; replacements
    // (reload, edit) run one at a time under m_settingsChangeMutex, so that a
    // reload cannot publish what it read before an edit was written. The order
    // is always m_settingsChangeMutex, then m_settingsMutex to publish.
    mutable std::mutex m_settingsMutex;
    std::shared_ptr<const MapSettings> m_mapSettings;  // refers to m_fileSystem
    std::mutex m_settingsChangeMutex;
    std::unique_ptr<DriveUpdateLock> m_updateLock;
    mutable std::mutex m_serverUrlMutex;
    std::wstring m_serverUrl;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_valid;
    std::atomic<bool> m_vendorDevice{false};
    std::atomic<bool> m_namedByUser{false};
    std::unique_ptr<MapsBucket> m_bucket;
    std::unique_ptr<MapContainer> m_mapContainer;
    std::unique_ptr<VoiceContainer> m_voiceContainer;
    std::vector<URLInfo> m_urlInfos;
    bool m_catalogLoaded = false;  // both catalogs of m_catalogVersion loaded whole
    VersionInfo m_catalogVersion;
    std::unique_ptr<FetchesAhead>
        m_fetchesAhead;  // dropped first by the destructor: they ask vet()
};

}  // namespace MapsService
