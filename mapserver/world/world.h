#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "mapserver/content.h"

namespace atlasync::mapserver {

// How the catalogs travel: all raw, all hex, or both kinds side by side.
enum class WorldEncoding { Mixed, Raw, Hex };

struct WorldOptions {
    std::uint64_t seed = 1;
    unsigned regions = 6;
    unsigned tilesPerRegion = 8;
    std::size_t tileMin = 512;  // bytes of a tile file
    std::size_t tileMax = 4096;
    MapVersion mapVersion = *MapVersion::parse("1.1.7.0");  // what the version service answers
    std::vector<MapVersion> versionList;                    // empty: derived from mapVersion
    unsigned voices = 3;                                    // per folder layout
    WorldEncoding encoding = WorldEncoding::Mixed;

    static constexpr unsigned kMaximumRegions = 100000;

    // Throws std::invalid_argument when the options cannot make a world.
    void check() const;
    // The options as generate's arguments, every one spelled out.
    std::string describe() const;
};

struct WorldTile {
    std::string name;  // 8 upper-case hex digits; its first two name the X and Y folders
    std::size_t bytes = 0;
    std::uint64_t seed = 0;  // of its content
};

struct WorldCategory {
    std::int32_t idid = 0;  // the item id; the client's id is "1" followed by it
    std::string name;
};

struct WorldRegion {
    std::int32_t idid = 0;  // also the region table's Id
    std::string name;
    std::size_t category = 0;        // index into the categories
    std::vector<std::string> tiles;  // tile names; the first is shared with the region before
};

struct WorldVoice {
    std::string language;    // name in the voice language table, also the 2.0 folder name
    std::string languageId;  // "L01"
};

struct WorldDevice {
    std::string model;
    int generation = 0;
    std::string mapsVersion;  // "cl" (new clients) or "up"
};

// The sample world: everything the content folder describes, before it is written.
struct World {
    WorldOptions options;
    std::vector<WorldCategory> categories;
    std::vector<WorldRegion> regions;
    std::map<std::string, WorldTile> tiles;
    std::vector<WorldVoice> voices;
    std::vector<WorldDevice> devices;

    static World build(const WorldOptions& options);
    // The region id clients use: the digit 1 followed by the item id.
    static std::int32_t client_id(std::int32_t idid);
    std::string tile_content(const WorldTile& tile) const;
};

}  // namespace atlasync::mapserver
