#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "service/content/voice_info.h"
#include "service/core/result_codes.h"

namespace MapsService {

class DeletePackage;
class FileSystem;
class PhoneDrive;
class VoiceBasePackage;

// What one drive holds of maps: the size of the maps root, the tiles and thus
// the complete regions, and the installed voices; and the wipes of map data
// and voices. Reads the drive only, never the server. Caches are dropped by
// invalidate() after every change of the drive's content.
class MapsBucket {
public:
    static constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};
    // The disk cache's top-level folders: 16 tile folders and the client index.
    static constexpr const wchar_t* kTopLevelNames[] = {L"0", L"1", L"2", L"3", L"4",          L"5",
                                                        L"6", L"7", L"8", L"9", L"A",          L"B",
                                                        L"C", L"D", L"E", L"F", L"ClientIndex"};

    explicit MapsBucket(PhoneDrive& drive);

    [[nodiscard]] Result initialize();
    void invalidate();
    bool initialized() const { return m_initialized; }
    const std::wstring& maps_root() const { return m_mapsRoot; }

    // Bytes below the maps root.
    [[nodiscard]] Result get_content_size(std::uint64_t& size);
    // Stores the content size as config.cfg's disk-cache size.
    [[nodiscard]] Result update_diskcache_size();

    // Ids of the regions whose tiles are all on the drive, ascending.
    [[nodiscard]] Result GetRegionList(std::vector<std::int32_t>& regions);
    [[nodiscard]] Result GetVoicesList(std::vector<VoiceInfo>& voices);
    // Gives every installed voice its catalog item's id and language.
    void link_voices(const VoiceBasePackage& catalog);

    [[nodiscard]] Result empty_diskcache();
    [[nodiscard]] Result delete_all_voices();
    [[nodiscard]] Result delete_all();
    // delete_all() in two steps, so that a caller can weigh what the wipe
    // frees before anything goes: the items added to the package, then the
    // package run and the drive read anew.
    [[nodiscard]] Result add_all_items(DeletePackage& package);
    [[nodiscard]] Result run_delete(DeletePackage& package);

    // A city-index file arrived for the drive; answers true.
    bool OnNewCityIndexFile(const std::wstring& url, const std::wstring& target);

private:
    [[nodiscard]] Result ensure_initialized();
    [[nodiscard]] Result scan_tiles();
    [[nodiscard]] Result load_voices();
    [[nodiscard]] Result add_map_items(DeletePackage& package);
    [[nodiscard]] Result add_voice_items(DeletePackage& package);
    [[nodiscard]] Result run_wipe(bool voices, bool maps);
    std::wstring diskcache_folder() const;

    PhoneDrive& m_drive;       // the owner
    FileSystem& m_fileSystem;  // the drive's
    bool m_initialized = false;
    std::uint64_t m_contentSize = kUnknownSize;
    std::vector<std::wstring> m_tiles;
    std::shared_ptr<std::vector<VoiceInfo>> m_voices;
    std::wstring m_mapsRoot;
};

}  // namespace MapsService
