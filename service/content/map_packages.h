#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "service/content/region_qnr_map.h"
#include "service/protocol/server_package.h"

namespace MapsService {

// A map catalog with its region table.
class MapBasePackage : public ServerPackage {
public:
    MapBasePackage(std::wstring serverUrl, std::wstring packageName, std::wstring language,
                   std::wstring version);

    URLInfo convert_item(const ServerRecord& record) override;
    virtual RegionQNRMap& region_table() { return m_regionTable; }
    bool region_table_loaded() const { return m_regionTableLoaded; }
    // Downloads the region table XML and reads it: 0, the download's error, or 1
    // when the document is not a region table.
    [[nodiscard]] virtual Result load_region_table(const std::wstring& url);

protected:
    RegionQNRMap m_regionTable;
    bool m_regionTableLoaded = false;
};

// The first map catalog kind, "mapporterzippkg"; its region table comes from "mtiles".
class Map1Package : public MapBasePackage {
public:
    static constexpr const wchar_t* kName = L"mapporterzippkg";

    Map1Package(std::wstring serverUrl, std::wstring language, std::wstring version);

    [[nodiscard]] Result load() override;
    // Drops the leading decimal digit: 1023 gives 23.
    std::int32_t convert_id(std::int32_t id) override;
    std::int32_t item_id(const ServerRecord& record) override;
};

// The catalog kind "map5": region ids are "1" and the item id, city indexes
// ride along with their regions as add-ons.
class Map20Package : public MapBasePackage {
public:
    static constexpr const wchar_t* kName = L"map5";

    Map20Package(std::wstring serverUrl, std::wstring language, std::wstring version);

    [[nodiscard]] Result load() override;
    void clear() override;
    // Puts the digit 1 in front: 23 gives 123.
    std::int32_t convert_id(std::int32_t id) override;
    // The "IDID" attribute; 0 when absent or not a number.
    std::int32_t item_id(const ServerRecord& record) override;
    URLInfo convert_item(const ServerRecord& record) override;
    // Appends the city indexes of chosen regions that the list does not hold yet.
    void get_addons(const std::vector<std::int32_t>& chosenRegions,
                    std::vector<URLInfo>& downloadList) override;

    const std::vector<URLInfo>& city_indexes() const { return m_cityIndexes; }

private:
    std::vector<URLInfo> m_cityIndexes;
    std::vector<URLInfo> m_mapTiles;
    std::map<std::int32_t, const ServerRecord*> m_items;  // record id -> record
};

}  // namespace MapsService
