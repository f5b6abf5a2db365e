#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace MapsService {

// One region of the region table: its tiles by lower-cased name, each with a
// mark telling whether the drive holds it.
struct Region {
    std::int32_t id = 0;
    std::wstring name;
    std::map<std::wstring, bool> tiles;  // lower-cased tile name -> present

    bool complete() const;
};

// The region table: which map tiles make up which region, read from the XML
// of the map catalog ("Package" of "File" elements with "Tile" children).
class RegionQNRMap {
public:
    // Replaces the table with the document's regions; false (traced) for an
    // empty buffer, XML that is not well-formed or a document without "Package".
    bool load(const std::uint8_t* data, std::size_t size);
    void clear();

    bool empty() const { return m_regions.empty(); }
    const std::map<std::int32_t, std::unique_ptr<Region>>& regions() const { return m_regions; }
    const Region* find(std::int32_t id) const;

    void reset_marks();
    // Marks the tile present in every region listing it; answers those regions.
    std::vector<Region*> mark_present(const std::wstring& tileName);

private:
    void index_tiles();

    std::map<std::int32_t, std::unique_ptr<Region>> m_regions;  // by region id
    std::map<std::wstring, std::vector<Region*>> m_tileIndex;   // tile -> regions listing it
};

}  // namespace MapsService
