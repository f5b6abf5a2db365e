#include "service/content/maps_bucket.h"

#include <map>

#include "service/content/content_text.h"
#include "service/content/delete_package.h"
#include "service/content/map_settings.h"
#include "service/content/package_container.h"
#include "service/content/phone_drive.h"
#include "service/content/region_qnr_map.h"
#include "service/content/voice_packages.h"
#include "service/core/trace.h"
#include "service/devices/file_system.h"
#include "service/devices/path_helpers.h"

namespace MapsService {

namespace {

constexpr const wchar_t* kDigits[] = {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7",
                                      L"8", L"9", L"A", L"B", L"C", L"D", L"E", L"F"};

bool is_client_index(const std::wstring& name) {
    return to_lower(name) == L"clientindex";
}

}  // namespace

MapsBucket::MapsBucket(PhoneDrive& drive) : m_drive(drive), m_fileSystem(drive.file_system()) {}

std::wstring MapsBucket::diskcache_folder() const {
    return join_path(m_fileSystem.get_root_directory().path(), m_drive.map_settings()->diskcache());
}

Result MapsBucket::initialize() {
    TraceInfo("MapsService::MapsBucket::initialize");
    m_tiles.clear();
    m_contentSize = 0;
    const std::shared_ptr<const MapSettings> settings = m_drive.map_settings();
    if (settings == nullptr) {
        m_initialized = true;
        return kResultOk;
    }
    m_mapsRoot = join_path(m_fileSystem.get_root_directory().path(), settings->maps_root());
    TraceInfo(L"maps-root of drive %s is %s", m_drive.name().c_str(), m_mapsRoot.c_str());
    if (settings->maps_root().empty()) {
        return kResultFailed;
    }
    const Result result = m_drive.vet(m_fileSystem.get_directory_size(m_mapsRoot, m_contentSize));
    if (result == kResultOk) {
        m_initialized = true;
    }
    return result;
}

void MapsBucket::invalidate() {
    m_initialized = false;
    m_contentSize = kUnknownSize;
    m_tiles.clear();
    m_voices.reset();
}

Result MapsBucket::ensure_initialized() {
    return m_initialized ? kResultOk : initialize();
}

Result MapsBucket::get_content_size(std::uint64_t& size) {
    Result result = m_drive.vet(kResultOk);
    if (result == kResultOk) {
        result = ensure_initialized();
    }
    size = m_contentSize;
    return result;
}

Result MapsBucket::update_diskcache_size() {
    const std::shared_ptr<const MapSettings> settings = m_drive.map_settings();
    if (settings == nullptr) {
        return kResultOk;
    }
    std::uint64_t size = 0;
    const Result result = get_content_size(size);
    if (result != kResultOk) {
        return result;
    }
    return m_drive.edit_map_settings(
        [size](MapSettings& edited) { return edited.config_file().set_diskcache_size(size); });
}

Result MapsBucket::scan_tiles() {
    const std::wstring diskcache = diskcache_folder();
    for (const wchar_t* top : kTopLevelNames) {
        if (is_client_index(top)) {
            continue;
        }
        for (const wchar_t* second : kDigits) {
            Result result = m_drive.vet(kResultOk);
            if (result != kResultOk) {
                return result;
            }
            const std::wstring folder = join_path(join_path(diskcache, top), second);
            // Listed straight away: on a phone every question is a round trip, and a
            // drive with maps has most of these folders. A failed listing is an
            // error only where the folder is there.
            std::vector<std::wstring> files;
            const Result listed = m_fileSystem.fetch_filenames(folder, files);
            if (listed != kResultOk) {
                if (!m_fileSystem.directory_exists(folder)) {
                    continue;
                }
                return m_drive.vet(listed);
            }
            for (const std::wstring& file : files) {
                m_tiles.push_back(base_name(file));
            }
        }
    }
    return kResultOk;
}

Result MapsBucket::GetRegionList(std::vector<std::int32_t>& regions) {
    regions.clear();
    if (m_drive.map_settings() == nullptr) {
        return kResultOk;
    }
    Result result = ensure_initialized();
    if (result == kResultOk && m_tiles.empty()) {
        result = scan_tiles();
    }
    if (result != kResultOk) {
        return result;
    }
    RegionQNRMap* table = m_drive.region_table();
    if (table == nullptr) {
        return kResultOk;
    }
    table->reset_marks();
    std::map<std::int32_t, const Region*> touched;
    for (const std::wstring& tile : m_tiles) {
        const std::vector<Region*> found = table->mark_present(tile);
        TraceDebug(L"qnr %s found in %d regions", tile.c_str(), static_cast<int>(found.size()));
        for (const Region* region : found) {
            touched[region->id] = region;
        }
    }
    for (const auto& [id, region] : touched) {
        if (region->complete()) {
            regions.push_back(id);
            TraceInfo(L"complete region found: id=%d name=%s", id, region->name.c_str());
        }
    }
    return m_drive.vet(kResultOk);
}

Result MapsBucket::load_voices() {
    const std::shared_ptr<const MapSettings> settings = m_drive.map_settings();
    auto voices = std::make_shared<std::vector<VoiceInfo>>();
    const std::wstring folder =
        join_path(m_fileSystem.get_root_directory().path(), settings->voicefiles());
    std::vector<DirectoryEntry> subfolders;
    if (m_fileSystem.directory_exists(folder)) {
        const Result result = m_drive.vet(m_fileSystem.fetch_sub_directories(folder, subfolders));
        if (result != kResultOk) {
            return result;
        }
    }
    // Map data of 1.x and later comes with voices in the 3.0 layout.
    const bool layout30 = settings->map_version().b() >= 1;
    for (const DirectoryEntry& entry : subfolders) {
        VoiceInfo voice;
        const bool read = layout30 ? read_voice_folder_30(m_fileSystem, entry.path(), voice)
                                   : read_voice_folder_20(m_fileSystem, entry.path(), voice);
        if (read && voice.valid) {
            voices->push_back(std::move(voice));
        }
    }
    TraceInfo("%d voices found:", static_cast<int>(voices->size()));
    for (const VoiceInfo& voice : *voices) {
        TraceInfo(L"  %s", voice.path.c_str());
    }
    m_voices = std::move(voices);
    // The catalog links the voices it finds when it loads, once: voices read
    // again after an update or a wipe would lose their items, and the next
    // download would leave them out.
    if (const VoiceBasePackage* catalog = m_drive.voice_container().voice_package();
        catalog != nullptr) {
        link_voices(*catalog);
    }
    return kResultOk;
}

Result MapsBucket::GetVoicesList(std::vector<VoiceInfo>& voices) {
    voices.clear();
    if (m_drive.map_settings() == nullptr) {
        return kResultOk;
    }
    Result result = ensure_initialized();
    if (result == kResultOk && !m_voices) {
        result = load_voices();
    }
    if (result != kResultOk) {
        return result;
    }
    voices = *m_voices;
    return kResultOk;
}

void MapsBucket::link_voices(const VoiceBasePackage& catalog) {
    if (m_drive.map_settings() == nullptr) {
        return;
    }
    if (!m_voices && (ensure_initialized() != kResultOk || load_voices() != kResultOk)) {
        return;
    }
    for (VoiceInfo& voice : *m_voices) {
        const ServerRecord* item = catalog.find_item(voice);
        if (item != nullptr) {
            voice.id = item->id;
            voice.languageId = item->attributes.value(L"language");
        }
        const std::wstring version = voice.version.to_text();
        TraceInfo(L"ID=%d; valid=%s; version=%s; lang-id=%s; size=%lld; path=%s", voice.id,
                  voice.valid ? L"true" : L"false", version.c_str(), voice.languageId.c_str(),
                  static_cast<long long>(voice.size), voice.path.c_str());
    }
}

Result MapsBucket::add_map_items(DeletePackage& package) {
    Result result = ensure_initialized();
    if (result != kResultOk) {
        return result;
    }
    const std::wstring diskcache = diskcache_folder();
    for (const wchar_t* name : kTopLevelNames) {
        const DeleteKind kind =
            is_client_index(name) ? DeleteKind::EmptyFolder : DeleteKind::TileFolder;
        result = package.add_folder(kind, join_path(diskcache, name));
        if (result != kResultOk) {
            return result;
        }
    }
    return package.add_file(join_path(diskcache, L"CachedatHeader.cdt"));
}

Result MapsBucket::add_voice_items(DeletePackage& package) {
    Result result = ensure_initialized();
    if (result == kResultOk && !m_voices) {
        result = load_voices();
    }
    if (result != kResultOk) {
        return result;
    }
    for (const VoiceInfo& voice : *m_voices) {
        result = package.add_folder(DeleteKind::RemoveFolder, voice.path);
        if (result != kResultOk) {
            return result;
        }
    }
    return kResultOk;
}

Result MapsBucket::run_wipe(bool voices, bool maps) {
    if (m_drive.map_settings() == nullptr) {
        return kResultOk;
    }
    DeletePackage package(m_drive);
    Result result = voices ? add_voice_items(package) : kResultOk;
    if (result == kResultOk && maps) {
        result = add_map_items(package);
    }
    return result != kResultOk ? result : run_delete(package);
}

Result MapsBucket::add_all_items(DeletePackage& package) {
    if (m_drive.map_settings() == nullptr) {
        return kResultOk;
    }
    const Result result = add_voice_items(package);
    return result != kResultOk ? result : add_map_items(package);
}

Result MapsBucket::run_delete(DeletePackage& package) {
    const Result result = package.delete_all();
    invalidate();
    const Result sizeResult = update_diskcache_size();
    if (sizeResult != kResultOk) {
        TraceWarning(L"disk-cache size not updated after the wipe (%d)", sizeResult);
    }
    return result;
}

Result MapsBucket::empty_diskcache() {
    return run_wipe(false, true);
}

Result MapsBucket::delete_all_voices() {
    return run_wipe(true, false);
}

Result MapsBucket::delete_all() {
    return run_wipe(true, true);
}

bool MapsBucket::OnNewCityIndexFile(const std::wstring& url, const std::wstring& target) {
    TraceInfo(L"%s url=%s target=%s )", L"MapsService::MapsBucket::OnNewCityIndexFile", url.c_str(),
              target.c_str());
    return true;
}

}  // namespace MapsService
