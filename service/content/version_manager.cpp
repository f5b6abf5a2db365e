#include "service/content/version_manager.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "service/content/content_text.h"
#include "service/content/delete_package.h"
#include "service/content/download_package.h"
#include "service/content/map_settings.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone_drive.h"
#include "service/content/update_plan.h"
#include "service/content/version_requests.h"
#include "service/core/exceptions.h"
#include "service/core/message_queue.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/devices/path_helpers.h"

namespace MapsService {

namespace {

constexpr const wchar_t* kStandardDiskcache = L"cities\\diskcache";
constexpr const wchar_t* kStandardFolder = L"cities";
constexpr const wchar_t* kVoicesBelowDiskcache = L"cities\\diskcache\\voices";
constexpr const wchar_t* kCheckServerMarker = L"chksrv";
constexpr const wchar_t* kCachedatHeader = L"CachedatHeader.cdt";
constexpr const wchar_t* kCategoryTree = L"F\\1\\FFFFFFF1.cdt";

const char* yes_no(bool value) {
    return value ? "true" : "false";
}

void trace_version(const char* label, const VersionInfo& v) {
    TraceInfo("%s: %u.%u.%u.%u", label, v.a(), v.b(), v.c(), v.d());
}

}  // namespace

VersionManager::VersionManager(PhoneDrive& drive, IniFile& settings)
    : m_drive(drive), m_settings(settings) {
    if (const auto mapSettings = m_drive.map_settings()) {
        if (mapSettings->client_version().is_valid()) {
            m_clientVersion = mapSettings->client_version();
        }
        if (mapSettings->map_version().a() != VersionInfo::kUnset) {
            (void)setVersion(mapSettings->map_version());
        }
    }
}

Result VersionManager::setVersion(const VersionInfo& version) {
    TraceInfo(L"%s: set map version to %s", L"MapsService::VersionManager::setVersion",
              version.to_text().c_str());
    m_mapVersion = version;
    return m_drive.edit_map_settings([&version](MapSettings& settings) {
        return settings.config_file().set_map_version(version);
    });
}

Result VersionManager::adopt(const VersionInfo& version) {
    m_serverVersion = version;
    m_drive.clear_url_infos();
    return setVersion(version) == kResultOk ? kResultOk : kResultFailed;
}

Result VersionManager::GetServerVersion(VersionInfo& version) {
    if (m_serverVersion.is_valid()) {
        version = m_serverVersion;
        return kResultOk;
    }
    std::vector<std::uint8_t> answer;
    const Result fetched = fetch_version_request(
        m_drive.server_url(), VersionRequest::ServerVersion, m_clientVersion, m_mapVersion, answer);
    if (fetched != kResultOk) {
        return fetched;
    }
    bool complete = false;
    version = decode_server_version(answer, complete);
    if (complete) {
        m_serverVersion = version;
    }
    if (version.a() == VersionInfo::kUnset && version.b() == VersionInfo::kUnset) {
        return kResultServerError;
    }
    return kResultOk;
}

Result VersionManager::Check_major_minor_or_better_feature(const VersionInfo& map,
                                                           VersionInfo& target) {
    if (map.a() < target.a() || map.b() < target.b()) {
        std::vector<std::uint8_t> answer;
        if (fetch_version_request(m_drive.server_url(), VersionRequest::VersionList,
                                  m_clientVersion, m_mapVersion, answer) != kResultOk) {
            return kResultFailed;
        }
        const std::vector<VersionInfo> list = decode_version_list(answer);
        std::uint32_t best = map.c();
        for (std::size_t i = 0; i < list.size(); ++i) {
            const VersionInfo& listed = list[i];
            TraceDebug(
                L"%s %d/%d %s", L"MapsService::VersionManager::Check_major_minor_or_better_feature",
                static_cast<int>(i), static_cast<int>(list.size()), listed.to_text().c_str());
            if (listed.a() == map.a() && listed.b() == map.b() && listed.c() > best) {
                best = listed.c();
                target = listed;
            }
        }
    }
    return kResultOk;
}

Result VersionManager::Check_version(bool force_update) {
    TraceInfo("Check_version( ) called, force_update=%s", yes_no(force_update));
    // What the drive held when the check began; setVersion publishes newer settings.
    const std::shared_ptr<const MapSettings> settings = m_drive.map_settings();
    if (settings == nullptr) {
        return kResultFailed;
    }
    if (settings->client_version().is_valid()) {
        m_clientVersion = settings->client_version();
        trace_version("client version", m_clientVersion);
    }
    if (settings->map_version().a() != VersionInfo::kUnset) {
        trace_version("map version", settings->map_version());
        if (setVersion(settings->map_version()) != kResultOk) {
            return kResultFailed;
        }
    }
    VersionInfo target;
    bool forced = false;
    if (requested_version(target, forced) != kResultOk) {
        return kResultFailed;
    }
    trace_version("server requests", target);

    if (settings->map_version().a() == VersionInfo::kUnset) {
        return adopt(target) == kResultOk ? kResultMapVersionChanged : kResultFailed;
    }
    // A forced version is the target as it stands: the server is not asked at all.
    if (!forced) {
        (void)Check_major_minor_or_better_feature(m_mapVersion, target);
    }
    // An update that was cut short left the drive without all of its maps.
    UpdateRecord record;
    const bool unfinished = read_update_record(m_drive, record) != PendingUpdate::None;
    if (unfinished) {
        OnMapsIncomplete(&m_drive);
    }
    if (m_mapVersion < target || unfinished) {
        return force_update ? UpdateMapsVersion(target) : kResultMapsNeedUpdate;
    }
    return kResultOk;
}

Result VersionManager::requested_version(VersionInfo& target, bool& forced) {
    const std::wstring forcedText = m_settings.get_string(L"ForceMapVersion", L"");
    forced = !forcedText.empty();
    if (forced) {
        TraceInfo(L"skip GetServerVersion(); forced to %s", forcedText.c_str());
        target = VersionInfo::parse(forcedText);
        return kResultOk;
    }
    return GetServerVersion(target);
}

Result VersionManager::UpdateMapsVersion(const VersionInfo& target) {
    TraceInfo("UpdateMapsVersion( ) called");
    trace_version("update to version", target);
    if (m_drive.map_settings() == nullptr) {
        return kResultFailed;
    }
    UpdateRecord record;
    const PendingUpdate pending = read_update_record(m_drive, record);
    // Only an update cut short leaves files half written.
    if (pending != PendingUpdate::None) {
        clear_update_leftovers(m_drive);
    }
    Result result = kResultOk;
    if (pending == PendingUpdate::Recorded && record.target == target && record.wiped) {
        // The drive holds part of this very update: it goes on from there,
        // and what it placed stays.
        TraceInfo(L"update to %s resumed: %d items are on the drive", target.to_text().c_str(),
                  static_cast<int>(record.placed.size()));
        result = m_drive.ensure_catalog(target);
    } else {
        record = UpdateRecord{};
        record.target = target;
        result = wipe_for_update(record);
    }
    if (result != kResultOk) {
        return result;
    }
    // Requests from here on speak for the target; config.cfg keeps the old
    // version until the download brought every item.
    m_serverVersion = target;
    m_mapVersion = target;
    if (target.b() > 0 && m_drive.edit_map_settings([](MapSettings& settings) {
            return settings.set_voicefiles(kVoicesBelowDiskcache);
        }) != kResultOk) {
        TraceError("voicefiles of the quota file not written");
        return kResultFailed;
    }
    return kResultMapVersionChanged;
}

Result VersionManager::wipe_for_update(UpdateRecord& record) {
    // Everything that can refuse the update does so before the first deletion.
    Result result = gather_update_contents(m_drive, record);
    DeletePackage wipe(m_drive);
    std::optional<DownloadPackage> download;  // of the record's items, for both steps below
    if (result == kResultOk) {
        result = m_drive.maps_bucket().add_all_items(wipe);
    }
    if (result == kResultOk) {
        result = check_update_room(m_drive, record, wipe, download);
    }
    if (result == kResultOk) {
        result = write_update_record(m_drive, record);
    }
    if (result != kResultOk) {
        return result;
    }
    result = run_update_wipe(m_drive, *download, wipe);
    if (result != kResultOk) {
        TraceError("wipe before the update ended with %d: the map version stays", result);
        return result;
    }
    record.wiped = true;
    return write_update_record(m_drive, record);
}

Result VersionManager::record_update() {
    UpdateRecord record;
    if (m_drive.map_settings() == nullptr) {
        return kResultOk;
    }
    if (read_update_record(m_drive, record) == PendingUpdate::Recorded) {
        // What the update placed goes with this wipe: it starts over.
        if (record.placed.empty() && !record.wiped) {
            return kResultOk;
        }
        record.placed.clear();
        record.wiped = false;
        return write_update_record(m_drive, record);
    }
    bool forced = false;
    Result result = requested_version(record.target, forced);
    if (result != kResultOk) {
        return result == kResultFailed ? kResultServerError : result;
    }
    if (!forced) {
        (void)Check_major_minor_or_better_feature(m_mapVersion, record.target);
    }
    result = gather_update_contents(m_drive, record);
    return result != kResultOk ? result : write_update_record(m_drive, record);
}

Result VersionManager::update_map_version(bool force_update) {
    TraceInfo("update_map_version( ) called, force_update=%s", yes_no(force_update));
    if (m_drive.map_settings() == nullptr) {
        TraceError(L"try to load package of empty maps drive (%s)", m_drive.name().c_str());
        return kResultFailed;
    }
    FileSystem& fileSystem = m_drive.file_system();
    const std::wstring diskcache = diskcache_path();
    const bool indexMissing = fileSystem.file_exists(join_path(diskcache, kCheckServerMarker)) ||
                              !fileSystem.file_exists(join_path(diskcache, kCachedatHeader));
    bool moveNoted = false;
    if (force_update) {
        if (move_diskcache() == kResultFailed) {
            return kResultFailed;
        }
    } else {
        moveNoted = diskcache_move_needed();
    }
    Result result = Check_version(force_update);
    if (!force_update && result == kResultMapsNeedUpdate) {
        return result;
    }
    // A failed check ends here: neither the move's nor the index files' 0 may
    // make it read as current.
    if (result != kResultOk && result != kResultMapVersionChanged) {
        return result == kResultFailed ? kResultServerError : result;
    }
    if (moveNoted) {
        const Result moved = move_diskcache();
        if (moved != kResultOk) {
            return moved;
        }
    }
    if (result == kResultMapVersionChanged || indexMissing) {
        result = download_cachedat_header();
        (void)download_category_tree();
        if (result == kResultOk) {
            // The header may have moved with the disk cache: delete the marker where it is now.
            (void)fileSystem.delete_file(join_path(diskcache_path(), kCheckServerMarker));
        }
        return result;
    }
    return result;
}

std::wstring VersionManager::root_path() const {
    return m_drive.file_system().get_root_directory().path();
}

std::wstring VersionManager::diskcache_path() const {
    const std::shared_ptr<const MapSettings> settings = m_drive.map_settings();
    return join_path(root_path(), settings != nullptr ? settings->diskcache() : L"");
}

Result VersionManager::store_index_file(const std::wstring& path,
                                        const std::vector<std::uint8_t>& data) {
    FileSystem& fileSystem = m_drive.file_system();
    const Result folder = fileSystem.create_directory(directory_part(path));
    if (folder != kResultOk) {
        return folder;
    }
    return fileSystem.write_file(path, data.data(), static_cast<std::uint32_t>(data.size()), 0,
                                 true);
}

Result VersionManager::download_cachedat_header() {
    TraceInfo("download_cachedat_header( ) called");
    std::vector<std::uint8_t> answer;
    const Result fetched =
        fetch_version_request(m_drive.server_url(), VersionRequest::CachedatHeader, m_clientVersion,
                              m_mapVersion, answer);
    if (fetched != kResultOk) {
        return fetched;
    }
    // The phone's reader expects a zero byte after the three-byte signature.
    answer.insert(
        answer.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(3, answer.size())),
        std::uint8_t{0});
    return store_index_file(join_path(diskcache_path(), kCachedatHeader), answer);
}

Result VersionManager::download_category_tree() {
    ScopeTrace scope("MapsService::VersionManager::download_category_tree");
    std::vector<std::uint8_t> answer;
    const Result fetched = fetch_version_request(m_drive.server_url(), VersionRequest::CategoryTree,
                                                 m_clientVersion, m_mapVersion, answer);
    if (fetched != kResultOk) {
        return fetched;
    }
    return store_index_file(join_path(diskcache_path(), kCategoryTree), answer);
}

bool VersionManager::diskcache_move_needed() {
    const std::shared_ptr<const MapSettings> settings = m_drive.map_settings();
    if (settings == nullptr ||
        to_lower(settings->diskcache()).find(L"private") == std::wstring::npos ||
        settings->map_version() == VersionInfo(1, 1, 1, 1)) {
        return false;
    }
    std::uint64_t size = 0;
    const Result sized =
        m_drive.file_system().get_directory_size(join_path(root_path(), kStandardFolder), size);
    return sized != kResultOk || size == 0;
}

Result VersionManager::move_diskcache() {
    TraceInfo("move_diskcache( ) called");
    if (!diskcache_move_needed()) {
        return kResultOk;
    }
    try {
        return run_diskcache_move();
    } catch (const PhoneDriveInvalidException&) {
        TraceError("moved disk cache: the drive's maps settings cannot be read back");
        return kResultInvalidDrive;
    } catch (const std::exception& e) {
        TraceError("exception in move_diskcache: %s", e.what());
    } catch (...) {
        TraceError("exception in move_diskcache");
    }
    return kResultFailed;
}

Result VersionManager::move_folder_content(const std::wstring& source, const std::wstring& target,
                                           bool withFolders) {
    FileSystem& fileSystem = m_drive.file_system();
    if (!fileSystem.directory_exists(source)) {
        return kResultOk;  // nothing of this kind on the drive
    }
    Result result = kResultOk;
    if (withFolders) {
        std::vector<DirectoryEntry> folders;
        result = fileSystem.fetch_sub_directories(source, folders);
        for (auto f = folders.begin(); result == kResultOk && f != folders.end(); ++f) {
            result = fileSystem.move_folder(f->path(), join_path(target, file_part(f->path())));
        }
    }
    std::vector<std::wstring> files;
    if (result == kResultOk) {
        result = fileSystem.fetch_filenames(source, files);
    }
    for (auto f = files.begin(); result == kResultOk && f != files.end(); ++f) {
        result = fileSystem.move_file(*f, target);
    }
    return result;
}

// Each step that fails ends the move with its code; the steps before it stay done.
Result VersionManager::run_diskcache_move() {
    // Held for the whole move: the drive may return meanwhile and reload its settings.
    const std::shared_ptr<const MapSettings> oldSettings = m_drive.map_settings();
    if (oldSettings == nullptr) {
        return kResultFailed;
    }
    const MapSettings& old = *oldSettings;
    FileSystem& fileSystem = m_drive.file_system();
    const std::wstring root = root_path();
    const std::wstring cities = join_path(root, kStandardFolder);
    const std::wstring oldDiskcache = join_path(root, old.diskcache());
    const std::wstring oldVoices = old.voicefiles();
    const std::wstring oldFonts = old.ttffiles();
    const VersionInfo oldClientVersion = old.client_version();
    const std::wstring rootQuota = join_path(root, L"qf");

    Result result = fileSystem.create_directory(cities);
    // The quota file goes to the root, its first lookup place, from wherever it was read.
    if (result == kResultOk && to_lower(old.quota_file().path()) != to_lower(rootQuota)) {
        result = fileSystem.move_file(old.quota_file().path(), root);
    }
    if (result == kResultOk) {
        result = fileSystem.move_folder(oldDiskcache, join_path(root, kStandardDiskcache));
    }
    if (result == kResultOk && !oldVoices.empty() &&
        to_lower(join_path(root, oldVoices)) != to_lower(cities)) {
        result = move_folder_content(join_path(root, oldVoices), cities, true);
    }
    if (result == kResultOk && !oldFonts.empty() &&
        to_lower(join_path(root, oldFonts)) != to_lower(cities)) {
        result = move_folder_content(join_path(root, oldFonts), cities, false);
    }
    if (result != kResultOk) {
        return result;
    }

    QuotaFile quota(fileSystem, rootQuota);
    quota.set_diskcache(kStandardDiskcache);
    quota.set_voicefiles(kStandardFolder);
    quota.set_ttffiles(kStandardFolder);
    quota.set_cachedats(kStandardFolder);
    if (oldClientVersion.is_valid()) {
        quota.set_client_version(oldClientVersion);
    }
    result = quota.write();
    if (result != kResultOk) {
        return result;
    }
    // A copy of the quota file travels with the disk cache; read and written
    // through the drive, since the root may lie on a phone.
    std::vector<std::uint8_t> bytes;
    result = fileSystem.read_file(rootQuota, bytes);
    if (result == kResultOk) {
        result =
            fileSystem.write_file(join_path(join_path(root, kStandardDiskcache), L"qf"),
                                  bytes.data(), static_cast<std::uint32_t>(bytes.size()), 0, true);
    }
    if (result != kResultOk) {
        return result;
    }
    m_drive.load_map_settings();
    return kResultOk;
}

}  // namespace MapsService
