#include <gtest/gtest.h>

#include <filesystem>

#include "service/content/map_settings.h"
#include "service/content/maps_app_package.h"
#include "service/content/maps_update_info.h"
#include "service/content/mapsapp_installation.h"
#include "service/content/mapsapp_update.h"
#include "service/devices/file_system_win.h"
#include "tests/content/drive_fixture.h"
#include "tests/content/served_world.h"

namespace {

using namespace MapsService;
using atlasync::testing::LocalDrive;
using atlasync::testing::put_file;
using atlasync::testing::read_file;
using atlasync::testing::ServedWorld;
using atlasync::testing::TempDir;
namespace fs = std::filesystem;

// The catalog is process-wide: each test starts from an empty one. How the
// device table steers the offer is tested with phones, which load it as they start.
class MapsApp : public ::testing::Test {
protected:
    void SetUp() override { maps_app_package().clear(); }
    void TearDown() override { SetUp(); }

    ServedWorld m_world;
};

TEST_F(MapsApp, ADriveWithoutPhoneIsOfferedNothing) {
    MapsUpdateInfo info;
    PhoneDrive orphan(nullptr, std::make_unique<FileSystemWin>(m_world.content().wstring()), false);
    EXPECT_EQ(orphan.get_mapsapp_update_info(info), kResultInvalidDrive);
}

// A local volume's device takes no applications: nothing is fetched for it
// and its quota file stays as it was.
TEST_F(MapsApp, ALocalVolumeTakesNoApplication) {
    const fs::path folder = m_world.make_drive(atlasync::mapserver::DriveOptions{});
    LocalDrive local(folder);
    ASSERT_TRUE(local.drive->valid());
    const std::string qf = read_file(folder / "qf");
    MapsUpdateInfo info;
    info.itemId = 1;
    EXPECT_EQ(install_maps_application(*local.drive, info), kResultFailed);
    EXPECT_TRUE(maps_app_package().items().empty());
    EXPECT_EQ(read_file(folder / "qf"), qf);
}

TEST(MapsAppCatalog, ItemsWithoutMandatoryVersionOrOfTheOtherKindAreSkipped) {
    auto item = [](std::int32_t id, const wchar_t* client, const wchar_t* mandatory) {
        ServerRecord record;
        record.id = id;
        record.attributes.set(L"client", client);
        if (mandatory != nullptr) {
            record.attributes.set(L"mandatory_version", mandatory);
        }
        return record;
    };
    const std::vector<ServerRecord> items{item(1, L"old", nullptr), item(2, L"new", L"3.1"),
                                          item(3, L"old", L"3.1"), item(4, L"old", L"3.1")};
    EXPECT_EQ(choose_installer(items, 315, false)->id, 3);
    EXPECT_EQ(choose_installer(items, 319, true)->id, 2);
    EXPECT_FALSE(choose_installer(items, 320, true).has_value());
    EXPECT_EQ(platform_text_for_generation(499), L"3.3");
    EXPECT_EQ(platform_text_for_generation(500), L"5.0");
    EXPECT_FALSE(platform_text_for_generation(309).has_value());
}

TEST(MapsAppCatalog, OfferReadsVersionBuildAndSize) {
    ServerRecord record;
    record.id = 7;
    record.attributes = {{L"client_version", L"1.3.15.0"},
                         {L"build", L"0812 build:x b4"},
                         {L"mandatory_version", L"3.3"},
                         {L"content_size", L"many"}};
    const MapsUpdateInfo info = describe_installer(record);
    EXPECT_EQ(info.itemId, 7);
    EXPECT_EQ(info.newVersion.week(), 12u);
    EXPECT_EQ(info.newVersion.year(), 8u);
    EXPECT_EQ(info.newVersion.build(), 4u);
    EXPECT_EQ(info.newVersion.to_text(), L"1.3.15.0 wk 12/8 b4");
    EXPECT_EQ(info.contentSize, 0u);

    record.attributes.set(L"build", L"0812 b4");
    EXPECT_EQ(describe_installer(record).newVersion.week(), VersionInfo::kUnset);
}

TEST(MapsAppClient, QtvMaps2WithoutClientVersionIsALegacyClient) {
    TempDir dir;
    put_file(dir.path() / "qf",
             "format:QF\nclient_id:qtvmaps2.0\nquota:1\ndiskcache:cities\\diskcache\n");
    std::uint8_t config[ConfigFile::kFullSize];
    ConfigFile::encode(VersionInfo(2, 3, 4, 0), 0, config);
    put_file(dir.path() / "cities/diskcache/config.cfg",
             std::string(std::begin(config), std::end(config)));
    LocalDrive local(dir.path());
    ASSERT_NE(local.drive->map_settings(), nullptr);
    EXPECT_EQ(local.drive->map_settings()->client_version(), VersionInfo(1, 2, 0, 0));
    EXPECT_EQ(local.drive->map_package_version_text(), L"2.3.4h");
}

TEST(MapsAppClient, QuotaFileTakesOnlyWhatChangedAndIsNotRewrittenForTheSameClient) {
    TempDir dir;
    put_file(dir.path() / "qf",
             "format:QF\nclient_id:qtvmaps2.0\nquota:1\n"
             "diskcache:cities\\diskcache\nbuild:0740 b1\n");
    FileSystemWin fileSystem(dir.path().wstring());
    QuotaFile quota(fileSystem, (dir.path() / "qf").wstring());
    ASSERT_EQ(update_quota_after_install(quota, L"qtvmaps3.0", L"1.3.16.0", L"Build:0812 x b4"),
              kResultOk);
    const std::string written = read_file(dir.path() / "qf");
    EXPECT_NE(written.find("client_id:qtvmaps3.0\n"), std::string::npos) << written;
    EXPECT_NE(written.find("client_version:1.3.16.0\n"), std::string::npos) << written;
    EXPECT_NE(written.find("build:0812 x b4\n"), std::string::npos) << written;
    EXPECT_TRUE(quota.has_client_version());

    // The same client again: nothing to write, so a missing file stays missing.
    fs::remove(dir.path() / "qf");
    EXPECT_EQ(update_quota_after_install(quota, L"qtvmaps3.0", L"1.3.16.0", L"build:0812 x b4"),
              kResultOk);
    EXPECT_FALSE(fs::exists(dir.path() / "qf"));
    // An empty client id and an unreadable version keep what the file holds.
    EXPECT_EQ(update_quota_after_install(quota, L"", L"soon", L"0812 x b4"), kResultOk);
    EXPECT_FALSE(fs::exists(dir.path() / "qf"));
}

}  // namespace
