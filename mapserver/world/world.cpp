#include "mapserver/world/world.h"

#include <set>
#include <stdexcept>

#include "mapserver/world/random.h"

namespace atlasync::mapserver {

namespace {

constexpr std::int32_t kFirstRegionIdid = 100001;
constexpr unsigned kRegionsPerCategory = 4;

const char* const kSyllables[] = {"ka", "lo",  "mer", "vin", "sa", "tor", "bel", "un",
                                  "ra", "dis", "ol",  "ven", "ta", "mi",  "gar", "es"};

const WorldVoice kVoices[] = {{"english", "L01"}, {"german", "L03"},  {"french", "L02"},
                              {"spanish", "L04"}, {"italian", "L05"}, {"dutch", "L18"},
                              {"swedish", "L06"}, {"danish", "L07"}};

const WorldDevice kDevices[] = {{"VX-310", 310, "up"}, {"VX-322", 322, "up"},
                                {"VX-335", 335, "up"}, {"VX-335N", 335, "cl"},
                                {"VX-505", 505, "up"}, {"VX-505N", 505, "cl"}};

std::string place_name(Random& random) {
    std::string name;
    const auto count = random.between(2, 3);
    for (std::uint64_t i = 0; i < count; ++i) {
        name += kSyllables[random.between(0, std::size(kSyllables) - 1)];
    }
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

std::string hex8(std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    }
    return text;
}

}  // namespace

void WorldOptions::check() const {
    if (regions == 0 || regions > kMaximumRegions) {
        throw std::invalid_argument("--regions must be 1 to " + std::to_string(kMaximumRegions));
    }
    if (tilesPerRegion == 0 || tilesPerRegion > 100000) {
        throw std::invalid_argument("--tiles-per-region must be 1 to 100000");
    }
    if (tileMin == 0 || tileMin > tileMax || tileMax > (std::size_t(1) << 30)) {
        throw std::invalid_argument("--tile-bytes must be MIN-MAX with 1 <= MIN <= MAX <= 1 GiB");
    }
    if (static_cast<std::uint64_t>(regions) * tilesPerRegion > 4000000) {
        throw std::invalid_argument("more than 4000000 tiles do not fit the tile names");
    }
    if (mapVersion.parts[0] == MapVersion::kUnset || mapVersion.parts[1] == MapVersion::kUnset) {
        throw std::invalid_argument("--map-version needs at least a.b");
    }
    if (voices > std::size(kVoices)) {
        throw std::invalid_argument("--voices must be 0 to " + std::to_string(std::size(kVoices)));
    }
}

std::string WorldOptions::describe() const {
    static const char* const kEncodings[] = {"mixed", "raw", "hex"};
    std::string text = "--seed " + std::to_string(seed) + " --regions " + std::to_string(regions) +
                       " --tiles-per-region " + std::to_string(tilesPerRegion) + " --tile-bytes " +
                       std::to_string(tileMin) + "-" + std::to_string(tileMax) + " --map-version " +
                       mapVersion.text() + " --version-list ";
    for (std::size_t i = 0; i < versionList.size(); ++i) {
        text += (i ? "," : "") + versionList[i].text();
    }
    return text + " --voices " + std::to_string(voices) + " --encoding " +
           kEncodings[static_cast<int>(encoding)];
}

std::int32_t World::client_id(std::int32_t idid) {
    return std::stoi("1" + std::to_string(idid));
}

World World::build(const WorldOptions& options) {
    options.check();
    World world;
    world.options = options;
    if (world.options.versionList.empty()) {
        world.options.versionList.push_back(options.mapVersion);
        MapVersion older = options.mapVersion;
        if (older.parts[2] != MapVersion::kUnset && older.parts[2] > 0) {
            --older.parts[2];
            older.parts[3] = 0;
            world.options.versionList.push_back(older);
        }
    }
    Random names(derive_seed(options.seed, 1));
    const unsigned categoryCount =
        (options.regions + kRegionsPerCategory - 1) / kRegionsPerCategory;
    for (unsigned j = 0; j < categoryCount; ++j) {
        world.categories.push_back({static_cast<std::int32_t>(j + 1), place_name(names)});
    }
    Random tiles(derive_seed(options.seed, 2));
    std::set<std::string> used;
    for (unsigned i = 0; i < options.regions; ++i) {
        WorldRegion region;
        region.idid = kFirstRegionIdid + static_cast<std::int32_t>(i);
        region.name = place_name(names);
        region.category = i / kRegionsPerCategory;
        // Neighbouring regions share a border tile, as real ones do.
        if (i > 0 && options.tilesPerRegion > 1) {
            region.tiles.push_back(world.regions.back().tiles.back());
        }
        while (region.tiles.size() < options.tilesPerRegion) {
            std::string name = hex8(static_cast<std::uint32_t>(tiles.next()));
            if (!used.insert(name).second) {
                continue;
            }
            WorldTile tile{
                name, static_cast<std::size_t>(tiles.between(options.tileMin, options.tileMax)),
                tiles.next()};
            world.tiles.emplace(name, tile);
            region.tiles.push_back(std::move(name));
        }
        world.regions.push_back(std::move(region));
    }
    world.voices.assign(std::begin(kVoices), std::begin(kVoices) + options.voices);
    world.devices.assign(std::begin(kDevices), std::end(kDevices));
    return world;
}

std::string World::tile_content(const WorldTile& tile) const {
    // A readable head and half-random bytes: compressible, like real map data.
    std::string bytes = "TILE " + tile.name + "\n";
    Random random(tile.seed);
    while (bytes.size() < tile.bytes) {
        std::uint64_t value = random.next();
        for (int i = 0; i < 16 && bytes.size() < tile.bytes; ++i, value >>= 4) {
            bytes.push_back(static_cast<char>('a' + (value & 0xF)));
        }
    }
    bytes.resize(tile.bytes);
    return bytes;
}

}  // namespace atlasync::mapserver
