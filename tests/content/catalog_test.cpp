#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "service/content/map_packages.h"
#include "service/content/map_settings.h"
#include "service/content/maps_bucket.h"
#include "service/content/package_container.h"
#include "service/content/region_qnr_map.h"
#include "service/content/voice_packages.h"
#include "service/core/sync.h"
#include "tests/content/drive_fixture.h"
#include "tests/content/served_world.h"

namespace {

using namespace MapsService;
using atlasync::mapserver::DriveLayout;
using atlasync::mapserver::DriveOptions;
using atlasync::testing::LocalDrive;
using atlasync::testing::ServedWorld;
using atlasync::testing::tile_file;

DriveOptions drive_options(const std::string& mapVersion, std::vector<std::string> regions,
                           std::vector<std::string> voices = {}) {
    DriveOptions options;
    options.mapVersion = mapVersion;
    options.regions = std::move(regions);
    options.voices = std::move(voices);
    return options;
}

TEST(MapsBucket, TileScanFindsCompleteRegionsOnlyWhateverTheNameCase) {
    ServedWorld world;
    const auto folder = world.make_drive(drive_options("1.1.7.0", {"100001", "100002"}));
    // A tile whose file name is lower case still counts.
    const std::string tile = world.world.regions[0].tiles[3];
    std::string lower = tile;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    std::filesystem::rename(tile_file(folder, tile),
                            tile_file(folder, tile).parent_path() / (lower + ".cdt"));
    LocalDrive local(folder, world.url());
    ASSERT_EQ(local.drive->load_url_infos(), kResultOk);
    std::vector<std::int32_t> regions;
    ASSERT_EQ(local.drive->maps_bucket().GetRegionList(regions), kResultOk);
    EXPECT_EQ(regions, (std::vector<std::int32_t>{1100001, 1100002}));

    // Region 2 loses a tile of its own; region 3 only ever had the shared one.
    std::filesystem::remove(tile_file(folder, world.world.regions[1].tiles.back()));
    local.drive->maps_bucket().invalidate();
    ASSERT_EQ(local.drive->maps_bucket().GetRegionList(regions), kResultOk);
    EXPECT_EQ(regions, (std::vector<std::int32_t>{1100001}));
}

TEST(MapsBucket, CancellingTheTileScanAnswersTwo) {
    ServedWorld world;
    LocalDrive local(world.make_drive(drive_options("1.1.7.0", {"100001"})), world.url());
    ASSERT_EQ(local.drive->load_url_infos(), kResultOk);
    service_cancel_flag().set();
    std::vector<std::int32_t> regions;
    EXPECT_EQ(local.drive->maps_bucket().GetRegionList(regions), kResultCancelled);
    service_cancel_flag().reset();
    EXPECT_EQ(local.drive->maps_bucket().GetRegionList(regions), kResultOk);
    EXPECT_EQ(regions.size(), 1u);
}

TEST(MapContainer, MapVersionChoosesTheCatalogAndItsVersionText) {
    // map5 is served only to requests for version 01.01.07.
    ServedWorld world({}, "package map5 ",
                      "package map5 catalogs/map5.txt encoding=hex version=01.01.07");
    LocalDrive current(world.make_drive(drive_options("1.1.7.0", {"100001"})), world.url());
    MapContainer& maps = current.drive->map_container();
    ASSERT_EQ(maps.load(*current.drive), kResultOk);
    EXPECT_EQ(maps.package()->package_name(), L"map5");
    EXPECT_FALSE(maps.package()->records().empty());
    EXPECT_EQ(maps.region_table()->regions().size(), world.world.regions.size());

    LocalDrive other(world.make_drive(drive_options("1.1.8.0", {})), world.url());
    // An empty catalog has no region table to point at: the empty URL fails to download.
    EXPECT_NE(other.drive->map_container().load(*other.drive), kResultOk);
    EXPECT_TRUE(other.drive->map_container().package()->records().empty());

    LocalDrive older(world.make_drive(drive_options("2.0.0.0", {})), world.url());
    ASSERT_EQ(older.drive->map_container().load(*older.drive), kResultOk);
    EXPECT_EQ(older.drive->map_container().package()->package_name(), L"mapporterzippkg");
    // Map1Package finds its region table through "mtiles".
    EXPECT_EQ(older.drive->region_table()->regions().size(), world.world.regions.size());
    std::vector<URLInfo> records;
    older.drive->map_container().convert_records(records);
    const auto region = std::find_if(records.begin(), records.end(),
                                     [](const URLInfo& r) { return r.type == L"region"; });
    ASSERT_NE(region, records.end());
    EXPECT_EQ(region->id, 1100001);  // "2" + client id with the leading digit dropped
    EXPECT_EQ(region->itemId, 100001);
}

TEST(MapPackages, IdConversionsOfBothKinds) {
    Map1Package first(L"", L"", L"1.1.7");
    EXPECT_EQ(first.convert_id(1023), 23);
    EXPECT_EQ(first.convert_id(7), 7);
    ServerRecord record;
    record.id = 21100001;
    EXPECT_EQ(first.item_id(record), 100001);

    Map20Package second(L"", L"", L"01.01.07");
    EXPECT_EQ(second.convert_id(23), 123);
    EXPECT_EQ(second.convert_id(0), 10);
    EXPECT_EQ(second.convert_id(2000000000), 2000000000);  // no room for the digit
    record.attributes.set(L"IDID", L"42");
    EXPECT_EQ(second.item_id(record), 42);
    record.attributes.set(L"IDID", L"many");
    EXPECT_EQ(second.item_id(record), 0);
}

TEST(PhoneDrive, CityIndexAddOnsAreAppendedOnceAndUnknownIdsFail) {
    ServedWorld world;
    LocalDrive local(world.make_drive(drive_options("1.1.7.0", {})), world.url());
    ASSERT_EQ(local.drive->load_url_infos(), kResultOk);
    URLInfo region;
    ASSERT_TRUE(local.drive->find_url_info(1100002, region));
    EXPECT_EQ(region.type, L"region");
    EXPECT_EQ(region.parentId, 11);  // its category, IDID 1

    std::vector<URLInfo> addons;
    local.drive->get_addons(L"region", {1100002, 1100002}, addons);
    ASSERT_EQ(addons.size(), 1u);
    EXPECT_EQ(addons[0].type, L"CityIndex");
    local.drive->get_addons(L"region", {1100002}, addons);
    EXPECT_EQ(addons.size(), 1u);
    local.drive->get_addons(L"other", {1100002}, addons);
    EXPECT_EQ(addons.size(), 1u);
}

TEST(VoiceContainer, ClientVersionChoosesTheCatalogAndLinksInstalledVoices) {
    ServedWorld world;
    DriveOptions options = drive_options("1.1.7.0", {}, {"all"});
    LocalDrive newer(world.make_drive(options), world.url());
    ASSERT_EQ(newer.drive->voice_container().load(*newer.drive), kResultOk);
    EXPECT_EQ(newer.drive->voice_container().package()->package_name(), L"mapportervoicepkg30");
    std::vector<VoiceInfo> voices;
    ASSERT_EQ(newer.drive->maps_bucket().GetVoicesList(voices), kResultOk);
    ASSERT_EQ(voices.size(), 3u);
    for (const VoiceInfo& voice : voices) {
        EXPECT_NE(voice.id, 0) << std::string(voice.path.begin(), voice.path.end());
        EXPECT_EQ(voice.version.to_text(), L"2.1");
    }
    // Voices read again after an update lost their items, and the next download left them out.
    newer.drive->maps_bucket().invalidate();
    ASSERT_EQ(newer.drive->maps_bucket().GetVoicesList(voices), kResultOk);
    ASSERT_EQ(voices.size(), 3u);
    for (const VoiceInfo& voice : voices) {
        EXPECT_NE(voice.id, 0) << "read again";
    }

    options.clientId = "qtvmaps2.0";
    options.mapVersion = "1.0.7.0";  // b = 0: the 2.0 layout
    LocalDrive older(world.make_drive(options), world.url());
    older.phone.set_device_generation(1);
    ASSERT_EQ(older.drive->voice_container().load(*older.drive), kResultOk);
    EXPECT_EQ(older.drive->voice_container().package()->package_name(), L"mapportervoicepkg40");
    ASSERT_EQ(older.drive->maps_bucket().GetVoicesList(voices), kResultOk);
    ASSERT_EQ(voices.size(), 3u);
    for (const VoiceInfo& voice : voices) {
        EXPECT_NE(voice.id, 0);
        EXPECT_FALSE(voice.languageId.empty());
    }
}

}  // namespace
