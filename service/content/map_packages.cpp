#include "service/content/map_packages.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "service/content/content_text.h"
#include "service/core/exceptions.h"
#include "service/core/trace.h"
#include "service/protocol/curl_downloader.h"
#include "service/protocol/package_fetch.h"

namespace MapsService {

namespace {

std::uint64_t size_or_zero(const std::wstring& text) {
    try {
        return text.empty() ? 0 : wstring_to_uint64(text);
    } catch (const ConversionFailedException&) {
        return 0;
    }
}

// "CityIndex": comma-separated numbers; parts that are not numbers are left out.
std::vector<std::uint32_t> city_index_list(const std::wstring& text) {
    std::vector<std::uint32_t> numbers;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto comma = std::min(text.find(L',', start), text.size());
        try {
            numbers.push_back(wstring_to_uint32(text.substr(start, comma - start)));
        } catch (const ConversionFailedException&) {
        }
        start = comma + 1;
    }
    return numbers;
}

std::int32_t drop_leading_digit(std::int32_t id) {
    if (id < 10 && id > -10) {
        return id;
    }
    const std::string text = std::to_string(id < 0 ? -static_cast<std::int64_t>(id) : id);
    const std::int32_t rest = static_cast<std::int32_t>(std::stoll(text.substr(1)));
    return id < 0 ? -rest : rest;
}

}  // namespace

MapBasePackage::MapBasePackage(std::wstring serverUrl, std::wstring packageName,
                               std::wstring language, std::wstring version)
    : ServerPackage(std::move(serverUrl), std::move(packageName), std::move(language),
                    std::move(version), L"") {}

URLInfo MapBasePackage::convert_item(const ServerRecord& record) {
    const RecordAttributes& values = record.attributes;
    return URLInfo(record.name, values.value(L"File"), values.value(L"Ver"), values.value(L"Desc"),
                   values.value(L"Type"), values.value(L"language"), values.value(L"MD5"),
                   size_or_zero(values.value(L"ByteSize")),
                   size_or_zero(values.value(L"ContentSize")), convert_id(record.id),
                   convert_id(record.parentId), item_id(record),
                   city_index_list(values.value(L"CityIndex")));
}

Result MapBasePackage::load_region_table(const std::wstring& url) {
    m_regionTableLoaded = false;
    std::vector<std::uint8_t> buffer;
    const Result result = create_memory_downloader(url)->Download(buffer, L"");
    if (result != kResultOk) {
        TraceError(L"error while downloading from map tiles from url %s", url.c_str());
        return result;
    }
    m_regionTableLoaded = m_regionTable.load(buffer.data(), buffer.size());
    return m_regionTableLoaded ? kResultOk : kResultFailed;
}

Map1Package::Map1Package(std::wstring serverUrl, std::wstring language, std::wstring version)
    : MapBasePackage(std::move(serverUrl), kName, std::move(language), std::move(version)) {}

Result Map1Package::load() {
    TraceInfo("MapsService::Map1Package::load");
    const Result result = ServerPackage::load();
    if (result != kResultOk) {
        return result;
    }
    m_regionTableLoaded = false;
    std::vector<ServerRecord> tables;
    PackageRequest request(m_serverUrl, tables);
    const Result fetched = request.fetch("mtiles", "", "", "");
    if (fetched == kResultOk && !tables.empty()) {
        return load_region_table(tables.front().attributes.value(L"file"));
    }
    // Without its region table the catalog cannot tell which regions a drive holds.
    TraceError("region table of %s not found (%d)", "mapporterzippkg", fetched);
    return fetched != kResultOk ? fetched : kResultServerError;
}

std::int32_t Map1Package::convert_id(std::int32_t id) {
    return drop_leading_digit(id);
}

std::int32_t Map1Package::item_id(const ServerRecord& record) {
    return drop_leading_digit(drop_leading_digit(record.id));
}

Map20Package::Map20Package(std::wstring serverUrl, std::wstring language, std::wstring version)
    : MapBasePackage(std::move(serverUrl), kName, std::move(language), std::move(version)) {}

void Map20Package::clear() {
    MapBasePackage::clear();
    m_items.clear();
    m_cityIndexes.clear();
    m_mapTiles.clear();
}

Result Map20Package::load() {
    TraceInfo("MapsService::Map20Package::load");
    m_items.clear();
    m_cityIndexes.clear();
    m_mapTiles.clear();
    const Result result = ServerPackage::load();
    if (result != kResultOk) {
        return result;
    }
    std::wstring tablesUrl;
    for (const ServerRecord& record : m_records) {
        m_items[record.id] = &record;
        const std::wstring type = record.attributes.value(L"Type");
        if (type == L"CityIndex") {
            m_cityIndexes.push_back(convert_item(record));
        } else if (type == L"Maptiles") {
            m_mapTiles.push_back(convert_item(record));
            tablesUrl = record.attributes.value(L"File");
        }
    }
    TraceInfo("CityIndex: %d records found", static_cast<int>(m_cityIndexes.size()));
    TraceInfo("MapTiles: %d records found", static_cast<int>(m_mapTiles.size()));
    return load_region_table(tablesUrl);
}

std::int32_t Map20Package::convert_id(std::int32_t id) {
    if (id < 0) {
        return id;
    }
    std::int64_t power = 10;
    while (power <= id) {
        power *= 10;
    }
    const std::int64_t converted = power + id;
    if (converted > INT32_MAX) {
        TraceWarning(L"item id %d has no region id", id);
        return id;
    }
    return static_cast<std::int32_t>(converted);
}

std::int32_t Map20Package::item_id(const ServerRecord& record) {
    const std::wstring text = record.attributes.value(L"IDID");
    try {
        return text.empty() ? 0 : static_cast<std::int32_t>(wstring_to_uint32(text));
    } catch (const ConversionFailedException&) {
        return 0;
    }
}

URLInfo Map20Package::convert_item(const ServerRecord& record) {
    URLInfo info = MapBasePackage::convert_item(record);
    const std::wstring type = to_lower(info.type);
    const bool regionItem = type == L"region" || type == L"category";
    info.id = record.id;
    info.parentId = record.parentId;
    if (regionItem) {
        info.id = convert_id(info.itemId);
        if (record.parentId != 0) {
            const auto parent = m_items.find(record.parentId);
            if (parent != m_items.end()) {
                info.parentId = convert_id(item_id(*parent->second));
            }
        }
    }
    return info;
}

void Map20Package::get_addons(const std::vector<std::int32_t>& chosenRegions,
                              std::vector<URLInfo>& downloadList) {
    TraceInfo("MapsService::Map20Package::get_addons");
    for (std::int32_t region : chosenRegions) {
        const bool listed = std::any_of(downloadList.begin(), downloadList.end(),
                                        [&](const URLInfo& info) { return info.id == region; });
        if (listed) {
            continue;
        }
        for (const URLInfo& cityIndex : m_cityIndexes) {
            if (cityIndex.id == region) {
                TraceInfo(L"addon found: %s", cityIndex.name.c_str());
                downloadList.push_back(cityIndex);
            }
        }
    }
}

}  // namespace MapsService
