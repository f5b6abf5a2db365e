#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "devlinx/devlinx_api.h"
#include "service/content/download_package.h"
#include "service/content/map_settings.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/core/room.h"
#include "service/devices/connectivity_calls.h"
#include "service/devices/connectivity_session.h"
#include "service/devices/linkdeck_file_system.h"
#include "tests/content/drive_fixture.h"
#include "tests/content/served_world.h"
#include "tests/devlinx/phone_farm.h"

namespace {

using namespace MapsService;
using atlasync::mapserver::DriveLayout;
using atlasync::mapserver::DriveOptions;
using atlasync::mapserver::write_drive;
using atlasync::testing::PhoneFarm;
using atlasync::testing::put_file;
using atlasync::testing::read_file;
using atlasync::testing::ServedWorld;
using atlasync::testing::tile_file;
namespace fs = std::filesystem;

// Maps drives on the memories of a simulated phone, read and written through
// the connectivity library as the service does on a real phone.
class PhoneMemory : public ::testing::Test {
protected:
    void SetUp() override {
        m_farm.create("alpha", {"--serial", "SN-1", "--capacity", "E:64M", "--capacity", "C:64M"});
        ASSERT_EQ(start_connectivity(m_deviceManager), kResultOk);
        m_phone.set_connected(true);
    }
    void TearDown() override {
        m_drives.clear();
        EXPECT_EQ(stop_connectivity(m_deviceManager), kResultOk);
    }

    fs::path memory(char letter) const { return m_farm.memory("alpha", letter); }

    // The files below the memory, by path, and the bytes they take; the
    // memory's own description counts for neither.
    std::set<fs::path> files_on(char letter, std::uint64_t* bytes = nullptr) const {
        std::set<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(memory(letter))) {
            if (entry.is_regular_file() && entry.path().filename() != "memory.ini") {
                files.insert(fs::relative(entry.path(), memory(letter)));
                if (bytes != nullptr) {
                    *bytes += entry.file_size();
                }
            }
        }
        return files;
    }

    // As the phone manager makes drives: the memory's file system, its maps
    // settings if any, connected.
    PhoneDrive& drive(const std::wstring& name) {
        std::uint32_t media = DLNK_MEDIA_ANY;
        std::uint32_t deviceId = 0;
        DLNKFSHANDLE handle = nullptr;
        if (Devlinx::DLNKOpenFS(L"SN-1", &media, &deviceId, &handle) == DLNK_OK) {
            EXPECT_EQ(Devlinx::DLNKCloseFS(handle), DLNK_OK);
        }
        m_drives.push_back(std::make_unique<PhoneDrive>(
            &m_phone, std::make_unique<LinkdeckFileSystem>(L"SN-1", media, deviceId, name), true));
        try {
            m_drives.back()->load_map_settings();
        } catch (const std::exception&) {
            m_drives.back()->set_valid(false);
        }
        m_drives.back()->set_connected(true);
        return *m_drives.back();
    }

    PhoneFarm m_farm;
    // Downloads unpack below the test's own folder, not the user's.
    atlasync::testing::TempDir m_tmp;
    atlasync::testing::ScopedVariable m_tmpdir{"TMPDIR", m_tmp.path().string()};
    DLNKDMHANDLE m_deviceManager = nullptr;
    Phone m_phone{L"alpha", L"SN-1"};
    std::vector<std::unique_ptr<PhoneDrive>> m_drives;
};

TEST_F(PhoneMemory, SettingsFilesAreReadAndWrittenOnThePhone) {
    put_file(memory('E') / "qf", "1000000;cities\\\\diskcache");
    std::string config(24, '\0');
    config[0] = 1;
    config[4] = 1;
    config[8] = 7;
    config[20] = 16;
    put_file(memory('E') / "cities/diskcache/config.cfg", config);
    PhoneDrive& card = drive(L"\\\\E:");
    ASSERT_TRUE(card.valid());
    MapSettings settings(*card.map_settings());
    EXPECT_EQ(settings.client_id(), L"R47");
    EXPECT_EQ(settings.voicefiles(), L"cities");
    EXPECT_EQ(settings.map_version().to_text(), L"1.1.7.0");
    EXPECT_EQ(settings.diskcache_size(), 16u);
    ASSERT_EQ(settings.set_voicefiles(L"cities\\diskcache\\voices"), kResultOk);
    EXPECT_EQ(read_file(memory('E') / "qf").substr(0, 24), "format:QF\nclient_id:R47\n");
    ASSERT_EQ(settings.config_file().set_diskcache_size(16), kResultOk);
    EXPECT_EQ(fs::file_size(memory('E') / "cities/diskcache/config.cfg"), 24u);

    // The phone memory of a 1.3.15.0 client without config.cfg gets a new one.
    put_file(memory('C') / "private/20001f63/qf",
             "format:QF\nclient_id:qtvmaps3.0\nquota:1\ndiskcache:private\\20001f63\\diskcache\n");
    PhoneDrive& phoneMemory = drive(L"\\\\C:");
    ASSERT_TRUE(phoneMemory.valid());
    EXPECT_EQ(phoneMemory.map_settings()->map_version().to_text(), L"0.1.18.0");
    EXPECT_EQ(fs::file_size(memory('C') / "private/20001f63/diskcache/config.cfg"), 32u);
}

TEST_F(PhoneMemory, RegionsVoicesDownloadsAndWipesWorkOnThePhone) {
    ServedWorld world;
    DriveOptions options;
    options.content = world.content();
    options.regions = {"100001"};
    options.voices = {"english", "german"};
    options.layout = DriveLayout::Private;
    write_drive(options, memory('E'));
    PhoneDrive& card = drive(L"\\\\E:");
    ASSERT_TRUE(card.valid());
    card.set_server_url(world.url());
    ASSERT_EQ(card.load_url_infos(), kResultOk);

    MapsBucket& bucket = card.maps_bucket();
    std::vector<std::int32_t> regions;
    ASSERT_EQ(bucket.GetRegionList(regions), kResultOk);
    EXPECT_EQ(regions, std::vector<std::int32_t>{1100001});
    std::vector<VoiceInfo> voices;
    ASSERT_EQ(bucket.GetVoicesList(voices), kResultOk);
    EXPECT_EQ(voices.size(), 2u);

    {
        DownloadPackage package(card);
        ASSERT_EQ(card.add_url_infos({1100002}, package), kResultOk);
        ASSERT_EQ(package.download(), kResultOk);
    }
    const fs::path diskcache = memory('E') / "private/20001f63/diskcache";
    EXPECT_TRUE(fs::exists(diskcache / "ClientIndex/C1100002.idx"));
    bucket.invalidate();
    ASSERT_EQ(bucket.GetRegionList(regions), kResultOk);
    EXPECT_EQ(regions, (std::vector<std::int32_t>{1100001, 1100002}));

    ASSERT_EQ(bucket.delete_all(), kResultOk);
    EXPECT_FALSE(fs::exists(diskcache / "ClientIndex/C1100002.idx"));
    EXPECT_FALSE(fs::exists(memory('E') / "private/20001f63/voices/v30_english"));
    ASSERT_EQ(bucket.GetRegionList(regions), kResultOk);
    EXPECT_TRUE(regions.empty());
    // Under the maps root only the settings files are left, and config.cfg records their size.
    EXPECT_EQ(card.map_settings()->diskcache_size(),
              32u + fs::file_size(memory('E') / "private/20001f63/qf"));
}

// The package lists a parent folder once and takes its subfolders as there,
// and counts the room it places between readings of the phone's: the folders
// may go behind its back, and the count may run short with room on the phone.
TEST_F(PhoneMemory, ADownloadTrustsNeitherTheFoldersItListedNorTheRoomItCounted) {
    ServedWorld world;
    DriveOptions options;
    options.content = world.content();
    options.regions = {"100001", "100002"};
    write_drive(options, memory('E'));
    const std::set<fs::path> before = files_on('E');
    const auto& regions = world.world.regions;
    std::uint64_t counted[2] = {0, 0};  // each region's room as the package counts it
    for (std::size_t r = 0; r < 2; ++r) {
        for (const std::string& tile : regions[r].tiles) {
            counted[r] += allocated_bytes(fs::file_size(tile_file(memory('E'), tile)),
                                          DownloadPackage::kCountedUnit);
        }
    }
    // One tile to place, whose folder comes from a listing of its parent.
    fs::remove(tile_file(memory('E'), regions[0].tiles[0]));
    // Room for either region as counted, not for both: the count runs short
    // at the second, which fits on the phone.
    std::uint64_t used = 0;
    files_on('E', &used);
    const std::uint64_t room =
        std::max(counted[0], counted[1]) + std::min(counted[0], counted[1]) / 2;
    put_file(memory('E') / "memory.ini", "capacity=" + std::to_string(used + room) + "\n");
    PhoneDrive& card = drive(L"\\\\E:");
    ASSERT_TRUE(card.valid());
    card.set_server_url(world.url());
    ASSERT_EQ(card.load_url_infos(), kResultOk);
    DownloadPackage package(card);
    ASSERT_EQ(card.add_url_infos({1100001, 1100002}, package), kResultOk);
    ASSERT_EQ(package.download(), kResultOk);
    const std::set<fs::path> placed = files_on('E');  // with the city indexes
    EXPECT_TRUE(std::includes(placed.begin(), placed.end(), before.begin(), before.end()));

    // The folders below the disk cache go, those listed among them: all are made again.
    for (const auto& entry : fs::directory_iterator(memory('E') / "cities/diskcache")) {
        if (entry.is_directory()) {
            fs::remove_all(entry.path());
        }
    }
    ASSERT_EQ(package.download(), kResultOk);
    EXPECT_EQ(files_on('E'), placed);
}

}  // namespace
