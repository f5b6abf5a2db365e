// An update cut short by each fault a connection, a phone or this computer
// can show, then run again without the fault: the drive never claims maps it
// does not hold, and the second run leaves it equal to a drive written fresh
// at the new version.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <regex>
#include <set>
#include <thread>

#include "mapserver/drive/drive_writer.h"
#include "service/content/map_settings.h"
#include "service/core/message_queue.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "service/facade/maps_service.h"
#include "service/phones/phone_manager.h"
#include "service/phones/phone_platform.h"
#include "service/protocol/curl_downloader.h"
#include "tests/content/drive_fixture.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/e2e/facade_fixture.h"
#include "tests/phones/message_wait.h"
#include "tests/support/child_process.h"
#include "tests/support/own_mounts.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;
namespace fs = std::filesystem;

// What happens to the update besides the server rule of its row.
enum class Fault {
    None,
    DamagedArchive,
    Cancel,
    ProcessKilled,
    PhoneUnplugged,
    PhoneFull,
    TemporaryFolderFull,
};

struct Row {
    const char* name;
    const char* rule;  // how the server treats the third region's archive; empty: as it should
    Fault fault;
    bool usbVolume;  // the drive is a local folder taken as a USB volume, else a phone's card
    int firstRun;    // expected first-run result code (exit status for a killed process)
    bool refusedBeforeAnyChange = false;  // the drive's files stay as they were
};

// Rows print as their names in test listings.
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

constexpr int kKilled = 128 + SIGKILL;
// Held back until the test has acted: the cancel, the kill or the unplugging
// ends its download, never a clock.
constexpr const char* kHeldBack = "hold,times:1";
// Items reported finished before the update waits for the held archive, and
// so noted by the record: an update notes what it placed before it waits.
constexpr int kItemsBeforeTheHold = 2;

const Row kRows[] = {
    // A passing failure is retried and the first run already succeeds.
    {"StalledArchive", "stall-after:100,times:1", Fault::None, false, kResultOk},
    {"DroppedConnection", "close-after:100,times:1", Fault::None, false, kResultOk},
    {"Status500", "status:500,times:1", Fault::None, false, kResultOk},
    {"WrongContentType", "content-type:text/html", Fault::None, false, kResultServerError},
    {"DamagedArchive", "", Fault::DamagedArchive, false, kResultCorruptArchive},
    {"DamagedArchiveOnUsbVolume", "", Fault::DamagedArchive, true, kResultCorruptArchive},
    {"Cancel", kHeldBack, Fault::Cancel, false, kResultCancelled},
    {"ProcessKilled", kHeldBack, Fault::ProcessKilled, false, kKilled},
    {"PhoneUnplugged", kHeldBack, Fault::PhoneUnplugged, false, kResultPhoneFileSystem},
    {"PhoneFull", "", Fault::PhoneFull, false, kResultPhoneFull, true},
    {"TemporaryFolderFull", "", Fault::TemporaryFolderFull, false, kResultDiskError, true},
};

// The archives the server sent whole in the log's lines [from, to).
std::set<std::string> archives_sent(const std::vector<std::string>& log, std::size_t from,
                                    std::size_t to) {
    static const std::regex kSent(R"( GET (\S+\.zip) 200 \d+B \d+ms$)");
    std::set<std::string> sent;
    for (std::size_t i = from; i < to && i < log.size(); ++i) {
        std::smatch match;
        if (std::regex_search(log[i], match, kSent)) {
            sent.insert(match[1].str());
        }
    }
    return sent;
}

class InterruptedUpdate : public FacadeTest, public ::testing::WithParamInterface<Row> {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        use_temp_folder(m_tmp.path());
        serve();
        mapserver::DriveOptions options;
        options.content = world().content();
        options.regions = {"all"};
        options.voices = {"all"};
        mapserver::write_drive(options, m_reference.path());
        // The phone's maps are older and smaller than the server's.
        options.mapVersion = "1.1.6.0";
        mapserver::write_drive(options, m_old.path());
        for (const auto& entry : fs::recursive_directory_iterator(m_old.path())) {
            if (entry.path().extension() == ".cdt" &&
                entry.path().parent_path() != m_old.path() / "cities" / "diskcache") {
                fs::resize_file(entry.path(), 64);
            }
        }
    }

    void TearDown() override {
        if (m_initialized) {
            EXPECT_EQ(finalize(), kResultOk);
        }
        if (m_smallTmp) {
            ::umount2(m_smallTmp->c_str(), MNT_DETACH);
        }
        set_transfer_limits({});
        FacadeTest::TearDown();
    }

    // The outdated drive on a phone's memory card, or in a folder taken as a USB volume.
    void place_drive(const Row& row) {
        if (row.usbVolume) {
            m_drivePath = m_tmp.path() / "volume";
        } else {
            std::vector<std::string> options = {"--serial", "SN-E2E", "--model", "RM-1"};
            if (row.fault == Fault::PhoneFull) {
                // Holds the old maps and half of what the new ones add.
                const std::uint64_t old = bytes_below(m_old.path());
                const std::uint64_t fresh = bytes_below(m_reference.path());
                options.insert(options.end(),
                               {"--capacity", "E:" + std::to_string(old + (fresh - old) / 2)});
            }
            m_farm.create("p", options);
            m_drivePath = m_farm.memory("p", 'E');
        }
        fs::copy(m_old.path(), m_drivePath, fs::copy_options::recursive);
    }

    void start_service(const Row& row) {
        ASSERT_EQ(get_mapsapp_catalog(), kResultOk);
        ASSERT_EQ(initialize(0), kResultOk);
        m_initialized = true;
        if (row.usbVolume) {
            ASSERT_EQ(add_volume(to_wide(m_drivePath.string())), kResultOk);
        }
    }

    static PhoneDrive* maps_drive() {
        std::vector<PhoneDrive*> drives;
        (void)PhoneManager::GetConnectedDrives(drives);
        for (PhoneDrive* drive : drives) {
            if (drive->map_settings() != nullptr) {
                return drive;
            }
        }
        return nullptr;
    }

    // The calls of atlasync-tool update: the first failing code, else 0.
    static Result update() {
        PhoneDrive* drive = maps_drive();
        if (drive == nullptr) {
            return kResultInvalidDrive;
        }
        std::vector<std::int32_t> regions;
        std::vector<VoiceInfo> voices;
        const std::function<Result()> steps[] = {
            [&] { return select_phone_drive(drive->id()); }, [&] { return GetRegionList(regions); },
            [&] { return GetVoicesList(voices); },           [&] { return update_maps_version(); },
            [&] { return download(regions, voices); },
        };
        for (const auto& step : steps) {
            const Result result = step();
            if (result != kResultOk && result != kResultMapsNeedUpdate) {
                return result;
            }
        }
        return kResultOk;
    }

    std::string archive_of_region(std::size_t index) {
        return "R" + std::to_string(world().world.regions[index].idid) + ".zip";
    }

    void add_fault(const std::string& action) {
        world().served().server().faults().add(
            mapserver::parse_fault("*/" + archive_of_region(2) + "=" + action));
    }

    // The third region's archive with a few bytes of its data flipped; the
    // original is put back by the returned call.
    std::function<void()> damage_archive() {
        for (const auto& entry : fs::recursive_directory_iterator(world().content() / "files")) {
            if (entry.path().filename() == archive_of_region(2)) {
                const fs::path path = entry.path();
                const std::string original = read_file(path);
                std::string damaged = original;
                for (std::size_t i = damaged.size() / 3; i < damaged.size() / 3 + 16; ++i) {
                    damaged[i] = static_cast<char>(~damaged[i]);
                }
                write_file(path, damaged);
                return [path, original] { write_file(path, original); };
            }
        }
        ADD_FAILURE() << "no archive " << archive_of_region(2);
        return [] {};
    }

    // The update on a worker thread; `act` runs once it waits for the held
    // archive, the third region's: the second region is reported finished.
    Result update_interrupted(const std::function<void()>& act) {
        drain_messages();
        std::atomic<Result> result{-1};
        std::thread worker([&] { result = update(); });
        for (int finished = 0; finished < kItemsBeforeTheHold;) {
            const auto seen = messages_until(MSG_DOWNLOAD_PROGRESS);
            if (seen.empty()) {
                break;
            }
            finished += seen.back().kind == ITEM_FINISHED ? 1 : 0;
        }
        act();
        worker.join();
        return result;
    }

    // A temporary folder a few kilobytes small, mounted for this test only.
    bool use_small_temporary_folder() {
        const fs::path folder = m_tmp.path() / "small";
        fs::create_directories(folder);
        if (!own_mounts() ||
            ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=8k,mode=0700") != 0) {
            return false;
        }
        m_smallTmp = folder;
        use_temp_folder(folder);
        return true;
    }

    int first_run(const Row& row) {
        std::function<void()> repair = [] {};
        int result = -1;
        if (*row.rule != '\0') {
            add_fault(row.rule);
        }
        if (std::string_view(row.rule).starts_with("stall")) {
            set_transfer_limits({5, std::chrono::seconds(1), {std::chrono::milliseconds(10)}});
        }
        if (row.fault == Fault::DamagedArchive) {
            repair = damage_archive();
        } else if (row.fault == Fault::TemporaryFolderFull && !use_small_temporary_folder()) {
            return -1;
        } else if (row.fault == Fault::ProcessKilled) {
            ChildProcess tool(ATLASYNC_TOOL_PATH,
                              {"update", "--server-root",
                               "localhost:" + std::to_string(world().served().port())});
            for (int finished = 0; finished < kItemsBeforeTheHold;) {
                const std::string line = tool.read_line();
                if (line.empty()) {
                    break;
                }
                finished += line.find("download ITEM_FINISHED") != std::string::npos ? 1 : 0;
            }
            tool.kill(SIGKILL);
            result = tool.wait();
        }
        if (row.fault != Fault::ProcessKilled) {
            start_service(row);
            if (row.fault == Fault::Cancel) {
                result = update_interrupted([] { (void)cancel_operation(); });
            } else if (row.fault == Fault::PhoneUnplugged) {
                const fs::path away = m_farm.outside() / "p";
                fs::create_directories(m_farm.outside());
                result = update_interrupted([&] { fs::rename(m_farm.folder() / "p", away); });
                // Back only once the service has seen it go: a drive it still
                // lists as there would be gone under the next run.
                EXPECT_TRUE(eventually([] { return maps_drive() == nullptr; }));
                fs::rename(away, m_farm.folder() / "p");
                EXPECT_TRUE(eventually([] { return maps_drive() != nullptr; }));
            } else {
                result = update();
            }
        }
        world().served().server().faults().clear();
        world().served().server().faults().release_held();  // a killed client's answer
        set_transfer_limits({});
        if (row.fault == Fault::PhoneFull) {
            // Room made on the phone is seen once the last reading grew old.
            write_file(m_drivePath / "memory.ini", "capacity=1G\n");
            EXPECT_TRUE(eventually([] {
                return maps_drive()->file_system().free_space_bytes() > (std::int64_t{1} << 29);
            }));
        }
        repair();
        if (m_smallTmp) {
            use_temp_folder(m_tmp.path());
        }
        return result;
    }

    // config.cfg names the old version or the new one, and never the new one
    // without every file of the new maps.
    void expect_honest_drive() {
        FileSystemWin files(to_wide(m_drivePath.string()));
        std::wstring version;
        ASSERT_NO_THROW(version = MapSettings(files).map_version().to_text());
        ASSERT_TRUE(version == L"1.1.6.0" || version == L"1.1.7.0") << to_narrow(version);
        if (version == L"1.1.7.0") {
            const std::string missing = differences(m_drivePath, m_reference.path());
            EXPECT_EQ(missing.find(" missing "), std::string::npos) << missing;
            EXPECT_EQ(missing.find(" differs "), std::string::npos) << missing;
        }
    }

    PhoneFarm m_farm;
    TempDir m_tmp;
    TempDir m_reference;
    TempDir m_old;
    std::optional<fs::path> m_smallTmp;
    fs::path m_drivePath;
    bool m_initialized = false;
};

TEST_P(InterruptedUpdate, LeavesAnHonestDriveThatTheNextRunBringsToTheNewVersion) {
    const Row& row = GetParam();
    place_drive(row);
    const auto before = snapshot(m_drivePath / "cities");
    const int result = first_run(row);
    if (result == -1 && row.fault == Fault::TemporaryFolderFull) {
        GTEST_SKIP() << "no small temporary folder can be mounted here";
    }
    EXPECT_EQ(result, row.firstRun);
    expect_honest_drive();
    if (row.refusedBeforeAnyChange) {
        EXPECT_EQ(differences(m_drivePath, m_old.path()), "");
        EXPECT_EQ(snapshot(m_drivePath / "cities"), before);
    }

    // What a kill leaves: the tool's work folder, and on the drive a file
    // half written and a record being staged.
    const fs::path partial = m_drivePath / "cities/diskcache/1/12345678.cdt.partial-4242-0";
    const fs::path staging = m_drivePath / "cities/diskcache/update.new";
    if (row.fault == Fault::ProcessKilled) {
        EXPECT_GT(entries_below(download_temp_folder()), 0u);
        write_file(partial, "half");
        write_file(staging / "update.pending", "format:UPD");
    }

    if (!m_initialized) {
        start_service(row);
    }
    const std::size_t firstRunLines = world().served().log().size();
    EXPECT_EQ(update(), kResultOk);
    EXPECT_EQ(differences(m_drivePath, m_reference.path()), "");
    if (row.fault == Fault::Cancel || row.fault == Fault::ProcessKilled ||
        row.fault == Fault::PhoneUnplugged) {
        // The run after goes on where this one stopped: of the items that had
        // come whole, only the one fetched ahead of the last placed comes again.
        const std::vector<std::string> log = world().served().log();
        const auto first = archives_sent(log, 0, firstRunLines);
        const auto again = archives_sent(log, firstRunLines, log.size());
        std::vector<std::string> both;
        std::set_intersection(first.begin(), first.end(), again.begin(), again.end(),
                              std::back_inserter(both));
        EXPECT_FALSE(first.empty());
        EXPECT_LE(both.size(), 1u) << ::testing::PrintToString(both);
        // The first region was on the drive before the run was cut short.
        EXPECT_EQ(again.count("/maps/regions/" + archive_of_region(0)), 0u)
            << ::testing::PrintToString(again);
    }
    EXPECT_EQ(entries_below(download_temp_folder()), 0u);
    EXPECT_FALSE(fs::exists(partial));
    EXPECT_FALSE(fs::exists(staging));
    FileSystemWin files(to_wide(m_drivePath.string()));
    EXPECT_EQ(MapSettings(files).map_version().to_text(), L"1.1.7.0");
    ASSERT_NE(maps_drive(), nullptr);
    EXPECT_EQ(select_phone_drive(maps_drive()->id()), kResultOk);
}

// A volume unmounted midway leaves its empty mount point, a folder of this
// computer's own disk: nothing of the update may land there.
TEST_F(InterruptedUpdate, AVolumeUnmountedDuringTheUpdateLeavesNothingUnderItsMountPoint) {
    const Row row{"Unmounted", kHeldBack, Fault::None, true, kResultPhoneFileSystem};
    place_drive(row);
    const fs::path mountPoint = m_tmp.path() / "mounted";
    fs::create_directories(mountPoint);
    if (!own_mounts() ||
        ::mount(m_drivePath.c_str(), mountPoint.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        GTEST_SKIP() << "no bind mount can be made here";
    }
    m_drivePath = mountPoint;
    add_fault(kHeldBack);
    start_service(row);
    const Result result = update_interrupted([&] {
        EXPECT_EQ(::umount2(mountPoint.c_str(), MNT_DETACH), 0);
        world().served().server().faults().release_held();
    });
    EXPECT_TRUE(result == kResultPhoneFileSystem || result == kResultDriveOffline) << result;
    EXPECT_EQ(entries_below(mountPoint), 0u);
}

// The server moved on while the update was unfinished, and dropped a region
// the record names: the update goes on to the version offered now.
TEST_F(InterruptedUpdate, ARecordOfAVersionNoLongerOfferedIsCarriedOverAndCompletes) {
    const Row row{"Cancel", kHeldBack, Fault::Cancel, false, kResultCancelled};
    place_drive(row);
    ASSERT_EQ(first_run(row), kResultCancelled);
    const fs::path record = m_drivePath / "cities/diskcache/update.pending";
    std::string text = read_file(record);
    const std::string target = "map_version:1.1.7.0\n";
    ASSERT_NE(text.find(target), std::string::npos) << text;
    text.replace(text.find(target), target.size(), "map_version:1.1.6.9\n");
    write_file(record, text + "region:999999\n");

    EXPECT_EQ(update(), kResultOk);
    EXPECT_EQ(differences(m_drivePath, m_reference.path()), "");
    EXPECT_FALSE(fs::exists(record));
}

INSTANTIATE_TEST_SUITE_P(EachFault, InterruptedUpdate, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace atlasync::testing
