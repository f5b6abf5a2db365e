#include "mapserver/world/world_writer.h"

#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "mapserver/catalog_text.h"
#include "mapserver/world/digest.h"
#include "mapserver/world/random.h"
#include "mapserver/world/zip_writer.h"
#include "service/core/text.h"
#include "service/protocol/catalog_writer.h"

namespace atlasync::mapserver {

namespace {

namespace fs = std::filesystem;
using MapsService::ServerRecord;

constexpr const char* kRoot = "{root}";

struct Platform {
    const char* text;  // "mandatory_version"
    const char* tag;   // in file names
};
constexpr Platform kPlatforms[] = {{"3.1", "31"}, {"3.2", "32"}, {"3.3", "33"}, {"5.0", "50"}};

struct ClientKind {
    const char* client;  // "client" attribute: "new" for devices listed with "cl"
    const char* version;
    const char* build;
};
constexpr ClientKind kClientKinds[] = {{"old", "1.3.16.0", "10w12 build:release b31"},
                                       {"new", "1.4.2.0", "11w05 build:release b7"}};

class Writer {
public:
    Writer(const World& world, fs::path folder) : m_world(world), m_folder(std::move(folder)) {}

    void write();

private:
    struct Archive {
        std::string url;
        std::uint64_t byteSize = 0;
        std::uint64_t contentSize = 0;
        std::string md5;
    };

    fs::path file(const std::string& relative) const { return m_folder / "files" / relative; }
    static std::string url(const std::string& relative) {
        return std::string(kRoot) + "/" + relative;
    }

    void write_bytes(const fs::path& path, const std::string& bytes) const;
    Archive finish(ZipWriter& zip, const std::string& relative) const;
    Archive plain_file(const std::string& relative, const std::string& bytes) const;

    Archive region_archive(const WorldRegion& region) const;
    Archive city_index_archive(const WorldRegion& region) const;
    Archive voice20_archive(const WorldVoice& voice) const;
    Archive voice30_archive(const WorldVoice& voice) const;
    std::string region_table() const;
    std::string category_tree() const;
    std::string cachedat_header() const;

    void catalog(const std::string& name, const std::vector<ServerRecord>& records,
                 bool hexWhenMixed);
    // Catalog ids of the n-th region and category.
    struct IdScheme {
        std::function<std::int32_t(std::size_t)> region;
        std::function<std::int32_t(std::size_t)> category;
    };
    std::vector<ServerRecord> map_catalog(const IdScheme& ids, bool withItemIds) const;
    std::vector<ServerRecord> map5(const Archive& regionTable) const;
    std::vector<ServerRecord> map1() const;
    std::vector<ServerRecord> voice_catalog(bool layout30) const;
    std::vector<ServerRecord> installers() const;
    std::vector<ServerRecord> device_table() const;

    const World& m_world;
    fs::path m_folder;
    std::vector<Archive> m_regionArchives;  // per region
    std::ostringstream m_manifest;
};

ServerRecord record(std::int32_t id, std::int32_t parent, const std::string& name) {
    ServerRecord r;
    r.id = id;
    r.parentId = parent;
    r.name = MapsService::to_wide(name);
    return r;
}

void set(ServerRecord& r, const std::string& key, const std::string& value) {
    r.attributes.set(MapsService::to_wide(key), MapsService::to_wide(value));
}

void set_download(ServerRecord& r, const std::string& url, std::uint64_t byteSize,
                  std::uint64_t contentSize, const std::string& md5) {
    set(r, "File", url);
    set(r, "ByteSize", std::to_string(byteSize));
    set(r, "ContentSize", std::to_string(contentSize));
    set(r, "MD5", md5);
}

std::string le32(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i, value >>= 8) {
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
    }
    return bytes;
}

void Writer::write_bytes(const fs::path& path, const std::string& bytes) const {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

Writer::Archive Writer::finish(ZipWriter& zip, const std::string& relative) const {
    zip.close();
    const fs::path path = file(relative);
    return {url(relative), fs::file_size(path), zip.content_size(), md5_of_file(path)};
}

Writer::Archive Writer::plain_file(const std::string& relative, const std::string& bytes) const {
    const fs::path path = file(relative);
    write_bytes(path, bytes);
    return {url(relative), bytes.size(), bytes.size(), md5_of_file(path)};
}

Writer::Archive Writer::region_archive(const WorldRegion& region) const {
    const std::string relative = "maps/regions/R" + std::to_string(region.idid) + ".zip";
    fs::create_directories(file(relative).parent_path());
    ZipWriter zip(file(relative));
    for (const auto& name : region.tiles) {
        // Entries land in the disk cache's tile folders, named by the tile's first two digits.
        const std::string entry = name.substr(0, 1) + "/" + name.substr(1, 1) + "/" + name + ".cdt";
        zip.add(entry, m_world.tile_content(m_world.tiles.at(name)), ZipWriter::Method::Deflated);
    }
    return finish(zip, relative);
}

Writer::Archive Writer::city_index_archive(const WorldRegion& region) const {
    const std::int32_t id = World::client_id(region.idid);
    const std::string relative = "maps/cityindex/C" + std::to_string(region.idid) + ".zip";
    fs::create_directories(file(relative).parent_path());
    Random random(derive_seed(m_world.options.seed, 3, static_cast<std::uint64_t>(id)));
    std::string index = "# cities of " + region.name + "\n";
    for (int city = 0; city < 8; ++city) {
        index += region.name + "-" + std::to_string(city) + ";" +
                 std::to_string(random.between(0, 179999)) + ";" +
                 std::to_string(random.between(0, 359999)) + "\n";
    }
    ZipWriter zip(file(relative));
    zip.add("C" + std::to_string(id) + ".idx", index, ZipWriter::Method::Stored);
    return finish(zip, relative);
}

Writer::Archive Writer::voice20_archive(const WorldVoice& voice) const {
    const std::string relative = "voices/20/" + voice.language + ".zip";
    fs::create_directories(file(relative).parent_path());
    ZipWriter zip(file(relative));
    zip.add(voice.language + "/config.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<voice language=\"" + voice.language +
                "\" id=\"" + voice.languageId + "\" version=\"1.0\"/>\n",
            ZipWriter::Method::Deflated);
    Random random(derive_seed(m_world.options.seed, 4, text_hash(voice.language)));
    for (int clip = 1; clip <= 4; ++clip) {
        zip.add(voice.language + "/" + voice.language + "_0" + std::to_string(clip) + ".ogg",
                random.bytes(random.between(2048, 6144)), ZipWriter::Method::Stored);
    }
    return finish(zip, relative);
}

Writer::Archive Writer::voice30_archive(const WorldVoice& voice) const {
    const std::string folder = "v30_" + voice.language;
    const std::string relative = "voices/30/" + folder + ".zip";
    fs::create_directories(file(relative).parent_path());
    ZipWriter zip(file(relative));
    zip.add(folder + "/skin_" + voice.language + ".lua",
            "-- spoken guidance\nlanguage = \"" + voice.language +
                "\"\naudio_files_version = \"2.1\"\n",
            ZipWriter::Method::Deflated);
    Random random(derive_seed(m_world.options.seed, 5, text_hash(voice.language)));
    for (int clip = 1; clip <= 4; ++clip) {
        zip.add(folder + "/audio/clip" + std::to_string(clip) + ".ogg",
                random.bytes(random.between(2048, 6144)), ZipWriter::Method::Stored);
    }
    return finish(zip, relative);
}

std::string Writer::region_table() const {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Package>\n";
    for (const auto& region : m_world.regions) {
        xml += "  <File Description=\"" + region.name + "\" Id=\"" + std::to_string(region.idid) +
               "\">\n";
        for (const auto& tile : region.tiles) {
            xml += "    <Tile>" + tile + "</Tile>\n";
        }
        xml += "  </File>\n";
    }
    return xml + "</Package>\n";
}

std::string Writer::category_tree() const {
    MapsService::CatalogWriter tree;
    for (const auto& category : m_world.categories) {
        if (!tree.add(record(World::client_id(category.idid), 0, category.name))) {
            throw std::runtime_error("category name too long: " + category.name);
        }
    }
    for (const auto& region : m_world.regions) {
        const auto& category = m_world.categories[region.category];
        if (!tree.add(record(World::client_id(region.idid), World::client_id(category.idid),
                             region.name))) {
            throw std::runtime_error("region name too long: " + region.name);
        }
    }
    const auto bytes = tree.bytes();
    return std::string(bytes.begin(), bytes.end());
}

std::string Writer::cachedat_header() const {
    std::string bytes = "CDH";
    for (std::uint32_t part : m_world.options.mapVersion.parts) {
        bytes += le32(part);
    }
    bytes += le32(static_cast<std::uint32_t>(m_world.regions.size()));
    bytes += le32(static_cast<std::uint32_t>(m_world.tiles.size()));
    return bytes;
}

std::vector<ServerRecord> Writer::map_catalog(const IdScheme& ids, bool withItemIds) const {
    const std::string version = m_world.options.mapVersion.text();
    std::vector<ServerRecord> records;
    for (std::size_t j = 0; j < m_world.categories.size(); ++j) {
        const auto& category = m_world.categories[j];
        ServerRecord r = record(ids.category(j), 0, category.name);
        set(r, "Type", "category");
        set(r, "Ver", version);
        set(r, "ByteSize", "0");
        set(r, "ContentSize", "0");
        if (withItemIds) {
            set(r, "IDID", std::to_string(category.idid));
            set(r, "Desc", "Regions of " + category.name);
        }
        records.push_back(std::move(r));
    }
    for (std::size_t i = 0; i < m_world.regions.size(); ++i) {
        const auto& region = m_world.regions[i];
        const auto& archive = m_regionArchives[i];
        ServerRecord r = record(ids.region(i), ids.category(region.category), region.name);
        set(r, "Type", "region");
        set(r, "Ver", version);
        set_download(r, archive.url, archive.byteSize, archive.contentSize, archive.md5);
        if (withItemIds) {
            set(r, "IDID", std::to_string(region.idid));
            set(r, "Desc", "Map of " + region.name);
            set(r, "CityIndex", std::to_string(World::client_id(region.idid)));
        }
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<ServerRecord> Writer::map5(const Archive& regionTable) const {
    // Raw ids of their own: the client takes region ids from the IDID attribute.
    const IdScheme ids{[](std::size_t i) { return 200000000 + static_cast<std::int32_t>(i); },
                       [](std::size_t j) { return 300000000 + static_cast<std::int32_t>(j); }};
    std::vector<ServerRecord> records = map_catalog(ids, true);
    const std::string version = m_world.options.mapVersion.text();
    for (const auto& region : m_world.regions) {
        const Archive archive = city_index_archive(region);
        // A city index carries its region's client id, which is how regions find their add-ons.
        ServerRecord r = record(World::client_id(region.idid), 0, region.name + " cities");
        set(r, "Type", "CityIndex");
        set(r, "Ver", version);
        set_download(r, archive.url, archive.byteSize, archive.contentSize, archive.md5);
        records.push_back(std::move(r));
    }
    ServerRecord tiles = record(400000000, 0, "Map tiles");
    set(tiles, "Type", "Maptiles");
    set(tiles, "Ver", version);
    set_download(tiles, regionTable.url, regionTable.byteSize, regionTable.contentSize,
                 regionTable.md5);
    records.push_back(std::move(tiles));
    return records;
}

std::vector<ServerRecord> Writer::map1() const {
    // Ids carry one leading digit that the client drops: "2" + client id.
    const auto raw = [](std::int32_t idid) {
        return std::stoi("2" + std::to_string(World::client_id(idid)));
    };
    const IdScheme ids{[&](std::size_t i) { return raw(m_world.regions[i].idid); },
                       [&](std::size_t j) { return raw(m_world.categories[j].idid); }};
    return map_catalog(ids, false);
}

std::vector<ServerRecord> Writer::voice_catalog(bool layout30) const {
    std::vector<ServerRecord> records;
    std::int32_t id = layout30 ? 600 : 500;
    for (const auto& voice : m_world.voices) {
        const Archive archive = layout30 ? voice30_archive(voice) : voice20_archive(voice);
        ServerRecord r = record(id++, 0, voice.language + " voice");
        set(r, "Type", "voice");
        set(r, "language", voice.languageId);
        set(r, "Ver", layout30 ? "2.1" : "1.0");
        set_download(r, archive.url, archive.byteSize, archive.contentSize, archive.md5);
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<ServerRecord> Writer::installers() const {
    std::vector<ServerRecord> records;
    std::int32_t id = 700;
    for (const auto& platform : kPlatforms) {
        for (const auto& kind : kClientKinds) {
            const std::string relative =
                "apps/maps_" + std::string(platform.tag) + "_" + kind.client + ".sis";
            Random random(derive_seed(m_world.options.seed, 6, static_cast<std::uint64_t>(id)));
            const Archive installer =
                plain_file(relative, "Atlasync maps application " + std::string(kind.version) +
                                         "\n" + random.bytes(48 * 1024));
            ServerRecord r =
                record(id++, 0, "Maps " + std::string(kind.version) + " for " + platform.text);
            set(r, "client", kind.client);
            set(r, "mandatory_version", platform.text);
            set(r, "title", "Maps application " + std::string(kind.version));
            set(r, "description",
                "Faster routing and the newest map format for platform " +
                    std::string(platform.text) + ".");
            set(r, "client_id", "qtvmaps3.0");
            set(r, "client_version", kind.version);
            set(r, "build", kind.build);
            set(r, "content_size", std::to_string(installer.byteSize));
            set(r, "file", installer.url);
            records.push_back(std::move(r));
        }
    }
    return records;
}

std::vector<ServerRecord> Writer::device_table() const {
    std::vector<ServerRecord> records;
    std::int32_t id = 800;
    for (const auto& device : m_world.devices) {
        ServerRecord r = record(id++, 0, device.model);
        set(r, "os", std::to_string(device.generation));
        set(r, "mapsversion", device.mapsVersion);
        records.push_back(std::move(r));
    }
    return records;
}

void Writer::catalog(const std::string& name, const std::vector<ServerRecord>& records,
                     bool hexWhenMixed) {
    const std::string relative = "catalogs/" + name + ".txt";
    std::ostringstream text;
    text << "# catalog " << name << "\n\n";
    for (const auto& r : records) {
        write_catalog_record(text, r);
    }
    write_bytes(m_folder / relative, text.str());
    const WorldEncoding choice = m_world.options.encoding;
    const bool hex =
        choice == WorldEncoding::Hex || (choice == WorldEncoding::Mixed && hexWhenMixed);
    m_manifest << "package " << name << " " << relative << " encoding=" << (hex ? "hex" : "raw")
               << "\n";
}

void Writer::write() {
    if (fs::exists(m_folder) && !fs::is_empty(m_folder)) {
        throw std::runtime_error(m_folder.string() + " is not empty; choose a new folder");
    }
    fs::create_directories(m_folder);
    m_manifest << "# atlasync-mapserver generate " << m_world.options.describe() << "\n";
    m_manifest << "server-version " << m_world.options.mapVersion.text() << "\n";
    m_manifest << "version-list";
    for (const auto& version : m_world.options.versionList) {
        m_manifest << " " << version.text();
    }
    m_manifest << "\nversion-encoding "
               << (m_world.options.encoding == WorldEncoding::Hex ? "hex" : "raw") << "\n";
    write_bytes(m_folder / "index/category_tree.tlv", category_tree());
    write_bytes(m_folder / "index/cachedat_header.hdr", cachedat_header());
    m_manifest << "category-tree index/category_tree.tlv\n"
               << "cachedat-header index/cachedat_header.hdr\n";

    for (const auto& region : m_world.regions) {
        m_regionArchives.push_back(region_archive(region));
    }
    const Archive regionTable = plain_file("maps/regions.xml", region_table());
    catalog("map5", map5(regionTable), true);
    catalog("mapporterzippkg", map1(), true);
    ServerRecord tiles = record(1, 0, "maptiles");
    set(tiles, "file", regionTable.url);
    catalog("mtiles", {tiles}, true);
    const auto voices20 = voice_catalog(false);
    catalog("mapportervoicepkg", voices20, false);
    catalog("mapportervoicepkg40", voices20, false);
    catalog("mapportervoicepkg30", voice_catalog(true), false);
    catalog("touchfw", installers(), true);
    catalog("mclients", device_table(), false);
    write_bytes(m_folder / Content::kManifestName, m_manifest.str());
}

}  // namespace

void write_world(const World& world, const fs::path& folder) {
    Writer(world, folder).write();
}

}  // namespace atlasync::mapserver
