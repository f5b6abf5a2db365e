#include "service/content/region_qnr_map.h"

#include <tinyxml2.h>

#include <algorithm>

#include "service/content/content_text.h"
#include "service/core/text.h"
#include "service/core/trace.h"

namespace MapsService {

namespace {

// The region id: the digit 1 in front of the Id text, read as a decimal
// number. An Id that does not make a number leaves the region out.
bool region_id(const char* idText, std::int32_t& id) {
    if (idText == nullptr || *idText == '\0') {
        return false;
    }
    std::int64_t value = 1;
    for (const char* p = idText; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        value = value * 10 + (*p - '0');
        if (value > INT32_MAX) {
            return false;
        }
    }
    id = static_cast<std::int32_t>(value);
    return true;
}

}  // namespace

bool Region::complete() const {
    return std::all_of(tiles.begin(), tiles.end(), [](const auto& tile) { return tile.second; });
}

void RegionQNRMap::clear() {
    m_regions.clear();
    m_tileIndex.clear();
}

void RegionQNRMap::index_tiles() {
    m_tileIndex.clear();
    for (auto& [id, region] : m_regions) {
        for (const auto& tile : region->tiles) {
            m_tileIndex[tile.first].push_back(region.get());
        }
    }
}

bool RegionQNRMap::load(const std::uint8_t* data, std::size_t size) {
    clear();
    if (data == nullptr || size == 0) {
        TraceError("RegionQNRMap::Load( ): buffer is empty");
        return false;
    }
    tinyxml2::XMLDocument document;
    if (document.Parse(reinterpret_cast<const char*>(data), size) != tinyxml2::XML_SUCCESS) {
        TraceError("RegionQNRMap::Load( ): error while parsing xml file");
        return false;
    }
    const tinyxml2::XMLElement* root = document.RootElement();
    if (root == nullptr || std::string(root->Name()) != "Package") {
        TraceError("RegionQNRMap::Load( ): error getting rootelement of map tiles xml");
        return false;
    }
    for (const tinyxml2::XMLElement* file = root->FirstChildElement("File"); file != nullptr;
         file = file->NextSiblingElement("File")) {
        auto region = std::make_unique<Region>();
        if (!region_id(file->Attribute("Id"), region->id)) {
            TraceWarning(L"region without a usable Id skipped");
            continue;
        }
        const char* description = file->Attribute("Description");
        region->name = to_wide(description != nullptr ? description : "");
        for (const tinyxml2::XMLElement* tile = file->FirstChildElement("Tile"); tile != nullptr;
             tile = tile->NextSiblingElement("Tile")) {
            const char* text = tile->GetText();
            if (text != nullptr) {
                region->tiles[to_lower(to_wide(text))] = false;
            }
        }
        const std::int32_t id = region->id;
        m_regions[id] = std::move(region);
    }
    index_tiles();
    return true;
}

const Region* RegionQNRMap::find(std::int32_t id) const {
    const auto found = m_regions.find(id);
    return found == m_regions.end() ? nullptr : found->second.get();
}

void RegionQNRMap::reset_marks() {
    for (auto& [id, region] : m_regions) {
        for (auto& tile : region->tiles) {
            tile.second = false;
        }
    }
}

std::vector<Region*> RegionQNRMap::mark_present(const std::wstring& tileName) {
    const std::wstring key = to_lower(tileName);
    const auto listed = m_tileIndex.find(key);
    if (listed == m_tileIndex.end()) {
        return {};
    }
    for (Region* region : listed->second) {
        region->tiles[key] = true;
    }
    return listed->second;
}

}  // namespace MapsService
