// The whole service through its facade: a generated world on a loopback map
// server, a simulated phone whose memory card holds an outdated maps drive,
// and the wizard's calls from initialize to finalize.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include "mapserver/drive/drive_writer.h"
#include "service/content/map_settings.h"
#include "service/content/maps_update_info.h"
#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/devices/file_system.h"
#include "service/devices/file_system_win.h"
#include "service/facade/maps_service.h"
#include "service/phones/phone_manager.h"
#include "service/phones/phone_platform.h"
#include "service/protocol/curl_downloader.h"
#include "tests/content/drive_fixture.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/e2e/facade_fixture.h"
#include "tests/phones/message_wait.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;
using mapserver::DriveOptions;
using mapserver::World;
namespace fs = std::filesystem;

class ServiceEndToEnd : public FacadeTest {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        use_temp_folder(m_tmp.path());
        serve();
    }

    void TearDown() override {
        if (m_initialized) {
            EXPECT_EQ(finalize(), kResultOk);
        }
        FacadeTest::TearDown();
    }

    // An outdated maps drive on a memory: three regions and every voice.
    fs::path write_outdated_drive(const fs::path& folder) {
        DriveOptions options;
        options.content = world().content();
        options.mapVersion = "1.1.6.0";
        for (std::size_t i : {0, 2, 3}) {
            options.regions.push_back(std::to_string(world().world.regions[i].idid));
        }
        options.voices = {"all"};
        mapserver::write_drive(options, folder);
        return folder;
    }

    void start_service() {
        ASSERT_EQ(get_mapsapp_catalog(), kResultOk);
        ASSERT_EQ(initialize(0), kResultOk);
        m_initialized = true;
    }

    // The one connected drive that holds maps.
    static PhoneDrive* maps_drive() {
        std::vector<PhoneDrive*> drives;
        EXPECT_EQ(PhoneManager::GetConnectedDrives(drives), kResultOk);
        for (PhoneDrive* drive : drives) {
            if (drive->map_settings() != nullptr) {
                return drive;
            }
        }
        return nullptr;
    }

    // The wizard's check up to the download size; the regions and voices of
    // the drive are kept for the update.
    void check(PhoneDrive& drive) {
        ASSERT_EQ(select_phone_drive(drive.id()), kResultMapsNeedUpdate);
        ASSERT_EQ(GetRegionList(m_regions), kResultOk);
        ASSERT_EQ(GetVoicesList(m_voices), kResultOk);
        std::set<std::int32_t> expected;
        for (std::size_t i : {0, 2, 3}) {
            expected.insert(World::client_id(world().world.regions[i].idid));
        }
        EXPECT_EQ(std::set<std::int32_t>(m_regions.begin(), m_regions.end()), expected);
        ASSERT_FALSE(m_voices.empty());
        MapsUpdateInfo offer;
        const Result offered = get_mapsapp_update_info(offer);
        EXPECT_TRUE(offered == kResultOk || offered == kResultNoUpdateInfo) << offered;
        std::uint64_t bytes = 0;
        std::uint64_t unpacked = 0;
        std::vector<DownloadItemInfo> items;
        ASSERT_EQ(get_download_size(m_regions, m_voices, bytes, unpacked, items), kResultOk);
        EXPECT_GT(bytes, 0u);
        EXPECT_GE(items.size(), m_regions.size());
    }

    // The drive holds the server's version, every tile of its regions, its
    // voices and the index files; the work folders are empty.
    void expect_updated(PhoneDrive& drive, const fs::path& folder) {
        FileSystemWin fresh(to_wide(folder.string()));
        std::wstring version;
        ASSERT_NO_THROW(version = MapSettings(fresh).map_version().to_text());
        EXPECT_EQ(version, L"1.1.7.0");
        const fs::path cache = folder / "cities" / "diskcache";
        for (const auto& region : world().world.regions) {
            if (std::find(m_regions.begin(), m_regions.end(), World::client_id(region.idid)) ==
                m_regions.end()) {
                continue;
            }
            for (const std::string& name : region.tiles) {
                const fs::path tile =
                    cache / name.substr(0, 1) / name.substr(1, 1) / (name + ".cdt");
                ASSERT_TRUE(fs::exists(tile)) << tile;
                EXPECT_EQ(read_file(tile), world().world.tile_content(world().world.tiles.at(name)))
                    << tile;
            }
        }
        EXPECT_TRUE(fs::exists(cache / "CachedatHeader.cdt"));
        EXPECT_TRUE(fs::exists(cache / "F" / "1" / "FFFFFFF1.cdt"));
        std::vector<VoiceInfo> voices;
        ASSERT_EQ(GetVoicesList(voices), kResultOk);
        std::set<std::wstring> before;
        std::set<std::wstring> after;
        for (const VoiceInfo& voice : m_voices) {
            before.insert(voice.name);
        }
        for (const VoiceInfo& voice : voices) {
            EXPECT_TRUE(voice.valid) << to_narrow(voice.name);
            after.insert(voice.name);
        }
        EXPECT_EQ(after, before);
        EXPECT_EQ(entries_below(download_temp_folder()), 0u);
        EXPECT_EQ(select_phone_drive(drive.id()), kResultOk);
    }

    // A phone whose memory card holds the outdated drive, checked and moved to
    // the server's version as the wizard does before its download.
    void prepare_phone_update() {
        m_farm.create("p", {"--serial", "SN-E2E", "--model", "RM-1"});
        m_card = write_outdated_drive(m_farm.memory("p", 'E'));
        ASSERT_NO_FATAL_FAILURE(start_service());
        m_drive = maps_drive();
        ASSERT_NE(m_drive, nullptr);
        ASSERT_NO_FATAL_FAILURE(check(*m_drive));
        ASSERT_EQ(update_maps_version(), kResultOk);
    }

    // Holds the archive of the region back, so that the test can act while
    // the download waits for it.
    void hold_back_region(std::size_t index, const std::string& action) {
        world().served().server().faults().add(mapserver::parse_fault(
            "*/R" + std::to_string(world().world.regions[index].idid) + ".zip=" + action));
    }

    // Runs download on a worker thread; answers once the server holds the
    // region's archive back ("hold" fault) and every item before it is placed,
    // so that nothing reaches the drive until the test acts: the items after
    // it wait for it.
    std::thread start_download(std::atomic<Result>& result, std::size_t heldRegion) {
        const std::int32_t held = World::client_id(world().world.regions[heldRegion].idid);
        drain_messages();
        std::thread worker([this, &result] { result = download(m_regions, m_voices); });
        std::set<std::int32_t> unfinished;  // items started before the held one, not yet placed
        bool heldStarted = false;
        // Only a broken download reaches the deadline: it keeps the suite from hanging.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!heldStarted || !unfinished.empty() ||
               world().served().server().faults().held() != 1) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the download was never held with nothing else in flight";
                break;
            }
            for (const Message& seen :
                 messages_until(MSG_DOWNLOAD_PROGRESS, std::chrono::milliseconds(50))) {
                if (seen.type == MSG_DOWNLOAD_PROGRESS && seen.kind == ITEM_STARTED) {
                    // Fetches start in item order.
                    heldStarted = heldStarted || seen.id == held;
                    if (!heldStarted) {
                        unfinished.insert(seen.id);
                    }
                } else if (seen.type == MSG_DOWNLOAD_PROGRESS && seen.kind == ITEM_FINISHED) {
                    unfinished.erase(seen.id);
                }
            }
        }
        return worker;
    }

    PhoneFarm m_farm;
    TempDir m_tmp;
    bool m_initialized = false;
    std::vector<std::int32_t> m_regions;
    std::vector<VoiceInfo> m_voices;
    PhoneDrive* m_drive = nullptr;
    fs::path m_card;
};

TEST_F(ServiceEndToEnd, CheckAndUpdateBringAnOutdatedMemoryCardUpToDate) {
    ASSERT_NO_FATAL_FAILURE(prepare_phone_update());
    ASSERT_EQ(download(m_regions, m_voices), kResultOk);
    expect_updated(*m_drive, m_card);
}

// The device table was never loaded: a phone listed as "cl" was offered the old client.
TEST_F(ServiceEndToEnd, APhoneListedForTheNewClientIsOfferedAndInstallsTheNewClient) {
    // The table gives this model generation 335; the phone itself says 305.
    m_farm.create("p", {"--serial", "SN-E2E", "--model", "VX-335N", "--generation", "305"});
    m_card = write_outdated_drive(m_farm.memory("p", 'E'));
    ASSERT_NO_FATAL_FAILURE(start_service());
    PhoneDrive* drive = maps_drive();
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(drive->phone()->device_generation(), 335);
    ASSERT_EQ(select_phone_drive(drive->id()), kResultMapsNeedUpdate);
    MapsUpdateInfo offer;
    ASSERT_EQ(get_mapsapp_update_info(offer), kResultOk);
    EXPECT_EQ(offer.mandatoryVersion.to_text(), L"3.3");
    EXPECT_EQ(offer.newVersion, VersionInfo(1, 4, 2, 0));
    ASSERT_EQ(update_mapsapp(offer), kResultOk);
    EXPECT_EQ(read_file(m_farm.folder() / "p" / "installed.txt"), "maps_33_new\n");
    FileSystemWin card(to_wide(m_card.string()));
    VersionInfo client;
    ASSERT_NO_THROW(client = MapSettings(card).client_version());
    EXPECT_EQ(client, VersionInfo(1, 4, 2, 0));
}

TEST_F(ServiceEndToEnd, CheckAndUpdateBringAnOutdatedUsbVolumeUpToDate) {
    const fs::path volume = write_outdated_drive(m_tmp.path() / "volume");
    ASSERT_NO_FATAL_FAILURE(start_service());
    ASSERT_EQ(add_volume(to_wide(volume.string())), kResultOk);
    PhoneDrive* drive = maps_drive();
    ASSERT_NE(drive, nullptr);
    ASSERT_NO_FATAL_FAILURE(check(*drive));
    ASSERT_EQ(update_maps_version(), kResultOk);
    ASSERT_EQ(download(m_regions, m_voices), kResultOk);
    expect_updated(*drive, volume);
}

// A wipe of some hundreds of files fetches ahead, and the fetches go on after
// it for the download; one that never comes leaves them to finalize, which
// ends them before it releases the network library.
TEST_F(ServiceEndToEnd, FinalizeEndsTheFetchesOfAWipeThatNoDownloadTookOver) {
    mapserver::WorldOptions options;
    options.tilesPerRegion = 100;
    options.tileMin = 64;
    options.tileMax = 128;
    serve(options);
    hold_back_region(0, "hold");
    ASSERT_NO_FATAL_FAILURE(prepare_phone_update());
    while (world().served().server().faults().held() == 0) {
        std::this_thread::yield();
    }
    EXPECT_GT(work_entries_below(download_temp_folder()), 0u);
    EXPECT_EQ(finalize(), kResultOk);
    m_initialized = false;
    EXPECT_EQ(work_entries_below(download_temp_folder()), 0u);
}

TEST_F(ServiceEndToEnd, CancelInTheMiddleOfADownloadCopiesNothingMoreAndKeepsFilesIntact) {
    ASSERT_NO_FATAL_FAILURE(prepare_phone_update());
    const fs::path card = m_card;
    hold_back_region(2, "hold");
    std::atomic<Result> result{-1};
    std::thread worker = start_download(result, 2);
    const auto atCancel = snapshot(card);
    EXPECT_EQ(cancel_operation(), kResultOk);
    worker.join();
    EXPECT_EQ(result.load(), kResultCancelled);
    EXPECT_FALSE(service_cancel_flag().is_set());
    EXPECT_EQ(snapshot(card), atCancel);
    // What was copied is whole: every tile on the card is the server's tile.
    for (const auto& [path, digest] : atCancel) {
        const fs::path file(path);
        if (file.extension() == ".cdt" && world().world.tiles.count(file.stem().string()) != 0) {
            EXPECT_EQ(read_file(card / file),
                      world().world.tile_content(world().world.tiles.at(file.stem().string())));
        }
    }
    EXPECT_EQ(work_entries_below(download_temp_folder()), 0u);
}

TEST_F(ServiceEndToEnd, APhoneUnpluggedDuringTheDownloadFailsCleanlyAndIsFoundAgain) {
    ASSERT_NO_FATAL_FAILURE(prepare_phone_update());
    PhoneDrive* drive = m_drive;
    const std::int32_t id = drive->id();
    hold_back_region(2, "hold");
    std::atomic<Result> result{-1};
    std::thread worker = start_download(result, 2);
    m_farm.remove("p");
    worker.join();
    EXPECT_NE(result.load(), kResultOk);
    EXPECT_NE(result.load(), kResultCancelled);
    EXPECT_EQ(PhoneManager::FindDrive(id), nullptr);
    EXPECT_EQ(update_maps_version(), kResultDriveOffline);

    m_farm.create("p", {"--serial", "SN-E2E", "--model", "RM-1"});
    ASSERT_TRUE(eventually([&] { return PhoneManager::FindDrive(id) != nullptr; }));
    EXPECT_EQ(PhoneManager::FindDrive(id), drive);
}

TEST_F(ServiceEndToEnd, AStallIsRetriedAndAWrongContentTypeAnswersNine) {
    ASSERT_NO_FATAL_FAILURE(prepare_phone_update());
    set_transfer_limits({5, std::chrono::seconds(1), {std::chrono::milliseconds(10)}});
    hold_back_region(2, "stall-after:100,times:1");
    EXPECT_EQ(download(m_regions, m_voices), kResultOk);
    hold_back_region(2, "stall-after:100,times:2");
    EXPECT_EQ(download(m_regions, m_voices), kResultServerError);
    hold_back_region(2, "content-type:text/html,times:1");
    EXPECT_EQ(download(m_regions, m_voices), kResultServerError);
    set_transfer_limits({});
    EXPECT_EQ(work_entries_below(download_temp_folder()), 0u);
}

TEST_F(ServiceEndToEnd, AFullPhoneMemoryAnswersFourteen) {
    m_farm.create("p", {"--serial", "SN-E2E", "--capacity", "E:64K"});
    DriveOptions options;
    options.content = world().content();
    mapserver::write_drive(options, m_farm.memory("p", 'E'));
    ASSERT_NO_FATAL_FAILURE(start_service());
    PhoneDrive* drive = maps_drive();
    ASSERT_NE(drive, nullptr);
    ASSERT_EQ(select_phone_drive(drive->id()), kResultOk);
    std::vector<std::int32_t> regions;
    for (const auto& region : world().world.regions) {
        regions.push_back(World::client_id(region.idid));
    }
    EXPECT_EQ(download(regions, {}), kResultPhoneFull);
}

}  // namespace
}  // namespace atlasync::testing
