#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <map>
#include <set>

#include "exit_codes/exit_codes.h"
#include "mapserver/content.h"
#include "mapserver/world/digest.h"
#include "mapserver/world/world.h"
#include "mapserver/world/world_writer.h"
#include "service/core/text.h"
#include "service/protocol/curl_downloader.h"
#include "service/protocol/package_fetch.h"
#include "service/protocol/tlv_tags.h"
#include "service/zip/extract.h"
#include "tests/mapserver/served_content.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

using namespace atlasync::mapserver;
using atlasync::testing::read_file;
using atlasync::testing::run_program;
using atlasync::testing::ServedContent;
using atlasync::testing::TempDir;
using atlasync::testing::write_file;
namespace fs = std::filesystem;

namespace {

// Every file of a folder by relative path, with its bytes.
std::map<std::string, std::string> tree_of(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).string()] = read_file(entry.path());
        }
    }
    return files;
}

// Region id (the digit 1 before the table's Id) -> its tiles, from the region table XML.
std::map<std::int32_t, std::set<std::string>> region_table(const std::string& xml) {
    tinyxml2::XMLDocument document;
    EXPECT_EQ(document.Parse(xml.c_str(), xml.size()), tinyxml2::XML_SUCCESS);
    std::map<std::int32_t, std::set<std::string>> regions;
    const auto* package = document.FirstChildElement("Package");
    EXPECT_NE(package, nullptr);
    for (const auto* file = package->FirstChildElement("File"); file;
         file = file->NextSiblingElement("File")) {
        auto& tiles = regions[std::stoi(std::string("1") + file->Attribute("Id"))];
        for (const auto* tile = file->FirstChildElement("Tile"); tile;
             tile = tile->NextSiblingElement("Tile")) {
            tiles.insert(tile->GetText());
        }
    }
    return regions;
}

// Collects what an extraction hands over, as the download package would copy it.
class CollectingSink : public MapsService::ExtractionSink {
public:
    std::map<std::wstring, std::string> files;  // entry name -> bytes

    MapsService::Result on_file_extracted(const std::wstring& entryName,
                                          const std::wstring& extractedFile) override {
        files[entryName] = read_file(MapsService::to_narrow(extractedFile));
        return MapsService::kResultOk;
    }
    void on_unzip_progress(std::uint64_t) override {}
};

std::map<std::wstring, std::string> extract_archive(const fs::path& archive) {
    TempDir target;
    CollectingSink sink;
    MapsService::ExtractionContext context(sink);
    EXPECT_EQ(MapsService::extract(archive.wstring(), target.path().wstring(), context),
              MapsService::kResultOk)
        << archive;
    return sink.files;
}

std::wstring attribute(const MapsService::ServerRecord& record, const wchar_t* name) {
    return record.attributes.value(name);
}

const CatalogVariant& catalog(const Content& content, const std::string& name) {
    const auto* variant = content.find_variant(name, "", "", "");
    EXPECT_NE(variant, nullptr) << name;
    return *variant;
}

fs::path served_file(const fs::path& content, const std::wstring& url) {
    const std::string text = MapsService::to_narrow(url);
    EXPECT_EQ(text.rfind("{root}/", 0), 0u) << text;
    return content / "files" / text.substr(7);
}

WorldOptions small_world() {
    WorldOptions options;
    options.seed = 42;
    options.regions = 9;
    options.tilesPerRegion = 5;
    options.tileMin = 100;
    options.tileMax = 9000;
    return options;
}

}  // namespace

TEST(WorldGenerator, SameArgumentsWriteByteIdenticalWorldsAndAnotherSeedAnotherOne) {
    TempDir first;
    TempDir second;
    TempDir other;
    const std::string program = ATLASYNC_MAPSERVER_PATH;
    const std::vector<std::string> args = {"--seed",       "7",       "--regions",     "5",
                                           "--tile-bytes", "10-5000", "--map-version", "2.1.3.0"};
    const auto generate = [&](const fs::path& folder, std::vector<std::string> extra) {
        extra.insert(extra.begin(), {"generate", (folder / "world").string()});
        return run_program(program, extra);
    };
    std::vector<std::string> seed8 = args;
    seed8[1] = "8";
    ASSERT_EQ(generate(first.path(), args), 0);
    ASSERT_EQ(generate(second.path(), args), 0);
    ASSERT_EQ(generate(other.path(), seed8), 0);
    const auto a = tree_of(first / "world");
    const auto b = tree_of(second / "world");
    EXPECT_GT(a.size(), 30u);
    EXPECT_TRUE(a == b);
    const auto c = tree_of(other / "world");
    EXPECT_NE(a.at("files/maps/regions.xml"), c.at("files/maps/regions.xml"));
    EXPECT_NE(a.at("files/maps/regions/R100001.zip"), c.at("files/maps/regions/R100001.zip"));
    EXPECT_NE(a.at("manifest.txt").find("server-version 2.1.3.0\n"), std::string::npos);
}

TEST(WorldGenerator, RegionArchivesExtractToExactlyTheTilesOfTheRegionTable) {
    TempDir dir;
    const World world = World::build(small_world());
    write_world(world, dir / "w");
    const Content content = Content::load(dir / "w");
    const auto table = region_table(read_file(dir / "w/files/maps/regions.xml"));
    ASSERT_EQ(table.size(), 9u);

    std::size_t regions = 0;
    std::map<std::string, int> regionsOfTile;
    for (const auto& record : catalog(content, "map5").records) {
        if (attribute(record, L"Type") != L"region") {
            continue;
        }
        ++regions;
        const std::int32_t id = std::stoi(L"1" + attribute(record, L"IDID"));
        ASSERT_TRUE(table.count(id)) << id;
        const fs::path archive = served_file(dir / "w", attribute(record, L"File"));
        EXPECT_EQ(std::to_wstring(fs::file_size(archive)), attribute(record, L"ByteSize"));
        EXPECT_EQ(MapsService::to_wide(md5_of_file(archive)), attribute(record, L"MD5"));

        std::uint64_t contentSize = 0;
        std::set<std::string> tiles;
        for (const auto& [entry, bytes] : extract_archive(archive)) {
            // X\Y\NAME.cdt: the disk cache's tile folders, named by the tile's first digits.
            const std::string name = MapsService::to_narrow(entry);
            ASSERT_EQ(name.size(), 4u + 8u + 4u) << name;
            const std::string tile = name.substr(4, 8);
            EXPECT_EQ(name, tile.substr(0, 1) + "\\" + tile.substr(1, 1) + "\\" + tile + ".cdt");
            EXPECT_EQ(bytes.rfind("TILE " + tile, 0), 0u) << name;
            tiles.insert(tile);
            ++regionsOfTile[tile];
            contentSize += bytes.size();
        }
        EXPECT_EQ(tiles, table.at(id)) << id;
        EXPECT_EQ(std::to_wstring(contentSize), attribute(record, L"ContentSize"));
    }
    EXPECT_EQ(regions, 9u);
    // Neighbours share one border tile: 9 regions of 5 tiles hold 37 different tiles.
    EXPECT_EQ(regionsOfTile.size(), 37u);
}

TEST(WorldGenerator, CatalogIdsAgreeBetweenBothMapKindsCityIndexesAndRegionTable) {
    TempDir dir;
    write_world(World::build(small_world()), dir / "w");
    const Content content = Content::load(dir / "w");
    const auto table = region_table(read_file(dir / "w/files/maps/regions.xml"));

    // map5: region ids are "1" + IDID; every region has one city index under that id.
    std::set<std::int32_t> map5Regions;
    std::set<std::int32_t> cityIndexes;
    std::wstring maptiles;
    for (const auto& record : catalog(content, "map5").records) {
        const std::wstring type = attribute(record, L"Type");
        if (type == L"region") {
            map5Regions.insert(std::stoi(L"1" + attribute(record, L"IDID")));
        } else if (type == L"CityIndex") {
            cityIndexes.insert(record.id);
            const auto files = extract_archive(served_file(dir / "w", attribute(record, L"File")));
            EXPECT_EQ(files.size(), 1u);
        } else if (type == L"Maptiles") {
            maptiles = attribute(record, L"File");
        }
    }
    std::set<std::int32_t> tableRegions;
    for (const auto& [id, tiles] : table) {
        tableRegions.insert(id);
    }
    EXPECT_EQ(map5Regions, tableRegions);
    EXPECT_EQ(cityIndexes, tableRegions);
    EXPECT_EQ(maptiles, L"{root}/maps/regions.xml");

    // mapporterzippkg: one leading digit more, which the client drops.
    std::set<std::int32_t> map1Regions;
    for (const auto& record : catalog(content, "mapporterzippkg").records) {
        if (attribute(record, L"Type") == L"region") {
            map1Regions.insert(std::stoi(std::to_wstring(record.id).substr(1)));
        }
    }
    EXPECT_EQ(map1Regions, tableRegions);
    EXPECT_EQ(attribute(catalog(content, "mtiles").records.at(0), L"file"),
              L"{root}/maps/regions.xml");
}

TEST(WorldGenerator, VoiceArchivesHoldBothFolderLayoutsNamedAsTheirCatalogsSay) {
    TempDir dir;
    write_world(World::build(small_world()), dir / "w");
    const Content content = Content::load(dir / "w");
    for (const auto& record : catalog(content, "mapportervoicepkg").records) {
        const auto files = extract_archive(served_file(dir / "w", attribute(record, L"File")));
        const std::wstring folder = fs::path(attribute(record, L"File")).stem().wstring();
        EXPECT_TRUE(files.count(folder + L"\\config.xml")) << folder;  // the 2.0 layout
    }
    const auto& voices30 = catalog(content, "mapportervoicepkg30").records;
    ASSERT_EQ(voices30.size(), 3u);
    for (const auto& record : voices30) {
        const auto files = extract_archive(served_file(dir / "w", attribute(record, L"File")));
        const std::wstring folder = fs::path(attribute(record, L"File")).stem().wstring();
        const std::string language = MapsService::to_narrow(folder.substr(4));
        const auto skin = files.find(folder + L"\\skin_" + folder.substr(4) + L".lua");
        ASSERT_NE(skin, files.end()) << language;  // the 3.0 layout
        EXPECT_NE(skin->second.find("audio_files_version = \"2.1\""), std::string::npos);
        EXPECT_NE(skin->second.find("language = \"" + language + "\""), std::string::npos);
    }
}

TEST(WorldGenerator, ServedWorldGivesTheClientEveryCatalogAndDownloadableFiles) {
    TempDir dir;
    write_world(World::build(small_world()), dir / "w");
    ServedContent served(dir / "w");
    const std::pair<const char*, std::size_t> packages[] = {{"map5", 3 + 9 + 9 + 1},
                                                            {"mapporterzippkg", 3 + 9},
                                                            {"mtiles", 1},
                                                            {"mapportervoicepkg", 3},
                                                            {"mapportervoicepkg40", 3},
                                                            {"mapportervoicepkg30", 3},
                                                            {"touchfw", 8},
                                                            {"mclients", 6}};
    for (const auto& [name, count] : packages) {
        std::vector<MapsService::ServerRecord> records;
        ASSERT_EQ(MapsService::fetch_package(served.server_url(), MapsService::tlv::kContentType,
                                             {name, "l01", "01.01.07", ""}, records),
                  MapsService::kResultOk)
            << name;
        EXPECT_EQ(records.size(), count) << name;
    }
    std::vector<MapsService::ServerRecord> installers;
    ASSERT_EQ(MapsService::fetch_package(served.server_url(), MapsService::tlv::kContentType,
                                         {"touchfw", "", "", ""}, installers),
              MapsService::kResultOk);
    for (const auto& record : installers) {
        const std::wstring url = attribute(record, L"file");
        EXPECT_EQ(url.rfind(served.server_url() + L"/apps/", 0), 0u);
        std::vector<std::uint8_t> body;
        ASSERT_EQ(MapsService::create_memory_downloader(url)->Download(
                      body, L"application/vnd.symbian.install"),
                  MapsService::kResultOk);
        EXPECT_EQ(std::to_wstring(body.size()), attribute(record, L"content_size"));
    }
}

TEST(WorldGenerator, BadArgumentsAndNonEmptyFoldersAreRefusedWithoutTouchingAnything) {
    TempDir dir;
    const std::string program = ATLASYNC_MAPSERVER_PATH;
    write_file(dir / "busy" / "keep.txt", "mine");
    std::string output;
    EXPECT_EQ(run_program(program, {"generate", (dir / "busy").string()}, &output), 1);
    EXPECT_EQ(read_file(dir / "busy" / "keep.txt"), "mine");
    EXPECT_EQ(fs::directory_iterator(dir / "busy")->path().filename(), "keep.txt");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"generate"},
          {"generate", (dir / "a").string(), "--regions", "0"},
          {"generate", (dir / "b").string(), "--tile-bytes", "500-100"},
          {"generate", (dir / "c").string(), "--map-version", "x"},
          {"generate", (dir / "d").string(), "--seed"},
          {"generate", (dir / "e").string(), "--colour", "red"},
          {"serve"},
          {"serve", "--content", dir.path().string(), "--fault", "/pg=wobble:1"},
          {"serve", "--content", dir.path().string(), "--port", "70000"},
          {"dance"}}) {
        EXPECT_EQ(run_program(program, args, &output), atlasync::kExitUsage) << args.back();
    }
    EXPECT_FALSE(fs::exists(dir / "a"));
    // A folder without a manifest cannot be served.
    EXPECT_EQ(run_program(program, {"serve", "--content", (dir / "busy").string()}, &output), 1);
}
