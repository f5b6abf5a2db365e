// atlasync-tool update of a card formatted and mounted as a card reader
// shows one, cut at several instants, and the order of its flushes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "mapserver/drive/drive_writer.h"
#include "service/core/room.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/e2e/facade_fixture.h"
#include "tests/support/card_image.h"
#include "tests/support/child_process.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;
namespace fs = std::filesystem;
using Format = CardImage::Format;

constexpr std::uint64_t kMiB = 1024 * 1024;

std::uint64_t free_bytes(const fs::path& folder) {
    struct statvfs info {};
    EXPECT_EQ(::statvfs(folder.c_str(), &info), 0);
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

// An outdated drive on a card, the drives it may hold after an update
// (old or new, whole), and the tool that updates it.
class CardUpdate : public FacadeTest {
protected:
    void SetUp() override {
        if (const std::string why = CardImage::unavailable(Format::ExFat); !why.empty()) {
            GTEST_SKIP() << "no card can be mounted here: " << why;
        }
        FacadeTest::SetUp();
        serve();
        m_options.content = world().content();
        m_options.regions = {"all"};
        m_options.voices = {"all"};
        mapserver::write_drive(m_options, m_new.path());
        m_options.mapVersion = "1.1.6.0";
        mapserver::write_drive(m_options, m_old.path());
    }

    // A card holding the outdated drive, written onto it as generate-drive does.
    std::unique_ptr<CardImage> outdated_card(Format format, std::uint32_t cluster = 0) {
        const std::uint64_t size =
            std::max<std::uint64_t>(64 * kMiB, 4 * bytes_below(m_new.path()));
        auto card = std::make_unique<CardImage>(m_cards.path(), format, size, cluster);
        mapserver::write_drive(m_options, card->mount_point());
        EXPECT_EQ(differences(card->mount_point(), m_old.path()), "");
        // The card as it was plugged in: its drive on the device.
        const int root = ::open(card->mount_point().c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_EQ(::syncfs(root), 0);
        ::close(root);
        return card;
    }

    std::vector<std::string> update_of(const fs::path& volume) const {
        return {"update", "--server-root", "localhost:" + std::to_string(m_world->served().port()),
                "--volume", volume.string()};
    }
    int update(const fs::path& volume, std::string& output) const {
        return run_program(ATLASYNC_TOOL_PATH, update_of(volume), &output);
    }

    mapserver::DriveOptions m_options;
    PhoneFarm m_farm;  // no phones: the card is the only drive
    TempDir m_new;
    TempDir m_old;
    TempDir m_cards;
};

TEST_F(CardUpdate, ThePlainUpdateLeavesTheNewDriveWholeOnAnExFatCard) {
    const auto card = outdated_card(Format::ExFat);
    std::string output;
    ASSERT_EQ(update(card->mount_point(), output), 0) << output;
    EXPECT_EQ(differences(card->mount_point(), m_new.path()), "");
}

// Every running tool takes a volume mounted meanwhile for one just plugged in:
// another test's card in sight would be updated beside its own.
TEST_F(CardUpdate, ACardIsMountedOutOfSightOfEveryOtherTest) {
    const auto card = outdated_card(Format::ExFat);
    const std::string mountPoint = card->mount_point().string();
    EXPECT_NE(read_file("/proc/self/mountinfo").find(mountPoint), std::string::npos);
    EXPECT_EQ(read_file("/proc/" + std::to_string(::getppid()) + "/mountinfo").find(mountPoint),
              std::string::npos);
}

TEST_F(CardUpdate, AnArchiveUnpacksOntoACardThatIgnoresCaseWhateverItsEntriesAreNamed) {
    CardImage card(m_cards.path(), Format::ExFat, 16 * kMiB);
    const char* const kMake = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for name in ['a.txt', '.EXTRACTING.WORK', 'b.txt', '.Extracting-1.Work', 'c.txt']:
        z.writestr(name, 'content of ' + name)
)";
    const fs::path archive = m_cards.path() / "names.zip";
    ASSERT_EQ(run_program("/usr/bin/python3", {"-c", kMake, archive.string()}), 0);
    std::string output;
    ASSERT_EQ(
        run_program(ATLASYNC_TOOL_PATH,
                    {"unzip", archive.string(), (card.mount_point() / "out").string()}, &output),
        0)
        << output;
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(card.mount_point() / "out")) {
        std::ifstream in(entry.path());
        std::ostringstream content;
        content << in.rdbuf();
        EXPECT_EQ(content.str(), "content of " + entry.path().filename().string());
        found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{".EXTRACTING.WORK", ".Extracting-1.Work", "a.txt",
                                               "b.txt", "c.txt"}));
}

TEST_F(CardUpdate, AFat32CardWhoseDriverTellsNoSizeHasUnknownRoomAndIsUpdated) {
    if (const std::string why = CardImage::unavailable(Format::Fat32); !why.empty()) {
        GTEST_SKIP() << "no FAT32 card can be mounted here: " << why;
    }
    const auto card = outdated_card(Format::Fat32);
    FileSystemWin files(to_wide(card->mount_point().string()));
    EXPECT_EQ(files.total_space_bytes(), -1);
    EXPECT_EQ(files.free_space_bytes(), -1);
    EXPECT_EQ(files.allocation_unit(), 0u);
    std::string output;
    ASSERT_EQ(update(card->mount_point(), output), 0) << output;
    EXPECT_EQ(differences(card->mount_point(), m_new.path()), "");
    // Its driver writes the device through caches that no flush of the card reaches.
    const fs::path pulled = m_cards.path() / "pulled.img";
    card->cut(pulled);
    CardImage again(pulled, Format::Fat32);
    EXPECT_EQ(differences(again.mount_point(), m_new.path()), "");
}

TEST_F(CardUpdate, ACardWithoutRoomInWholeClustersEndsFourteenBeforeAnythingChanges) {
    constexpr std::uint32_t kCluster = 128 * 1024;
    const auto card = outdated_card(Format::ExFat, kCluster);
    // Filled up to one cluster: counted in bytes, the new maps would fit.
    const std::uint64_t keep = kCluster;
    const std::uint64_t oldBytes = bytes_below(m_old.path());
    const std::uint64_t newBytes = bytes_below(m_new.path());
    ASSERT_LE(newBytes, oldBytes + keep);
    const fs::path filler = card->mount_point() / "filler.bin";
    std::ofstream(filler).close();
    fs::resize_file(filler, free_bytes(card->mount_point()) - keep);
    ASSERT_EQ(free_bytes(card->mount_point()), keep);
    const auto before = snapshot(card->mount_point());

    std::string output;
    EXPECT_EQ(update(card->mount_point(), output), 14) << output;
    EXPECT_EQ(snapshot(card->mount_point()), before);
}

TEST_F(CardUpdate, ACardCutAtAnyInstantHoldsTheOldDriveTheNewOneOrARecordTheNextRunCompletes) {
    const auto card = outdated_card(Format::ExFat);
    // Cut once the tool printed a line so many times more, and once it ended.
    const std::vector<std::pair<std::string, int>> instants = {
        {"delete PACKAGE_STARTED", 1}, {"delete PACKAGE_FINISHED", 1},
        {"download ITEM_FINISHED", 1}, {"download ITEM_FINISHED", 4},
        {"download ITEM_FINISHED", 4}, {"download PACKAGE_FINISHED", 1}};
    std::vector<fs::path> cuts;
    {
        ChildProcess tool(ATLASYNC_TOOL_PATH, update_of(card->mount_point()));
        std::string seen;
        for (const auto& [instant, times] : instants) {
            for (int found = 0; found < times;) {
                const std::string line = tool.read_line();
                ASSERT_FALSE(line.empty()) << "the update ended before " << instant << seen;
                seen += "\n" + line;
                found += line.find(instant) != std::string::npos ? 1 : 0;
            }
            cuts.push_back(m_cards.path() / ("cut-" + std::to_string(cuts.size()) + ".img"));
            card->cut(cuts.back());
        }
        ASSERT_EQ(tool.wait(), 0) << seen << tool.read_all();
    }
    cuts.push_back(m_cards.path() / "cut-after-success.img");
    card->cut(cuts.back());

    for (const fs::path& cut : cuts) {
        SCOPED_TRACE(cut.filename().string());
        CardImage pulled(cut, Format::ExFat);
        const fs::path drive = pulled.mount_point();
        const bool recorded =
            !fs::is_empty(drive) && fs::exists(drive / "cities" / "diskcache" / "update.pending");
        if (cut.filename() == "cut-after-success.img") {
            EXPECT_FALSE(recorded);
            EXPECT_EQ(differences(drive, m_new.path()), "");
        } else if (!recorded) {
            const std::string asOld = differences(drive, m_old.path());
            const std::string asNew = differences(drive, m_new.path());
            EXPECT_TRUE(asOld.empty() || asNew.empty()) << "old:" << asOld << "\nnew:" << asNew;
        }
        // Plugged in again, the card is brought to the new version whole.
        std::string output;
        EXPECT_EQ(update(drive, output), 0) << output;
        EXPECT_EQ(differences(drive, m_new.path()), "");
        pulled.unmount();
        fs::remove(cut);
    }
}

// The file-system calls of one update, as strace tells them, with the paths of descriptors.
struct Call {
    std::string name;
    std::vector<std::string> paths;  // quoted arguments and <path> of descriptors
    bool ok = false;
};

std::vector<Call> calls_in(const fs::path& trace) {
    static const std::regex kLine(R"(^\d+\s+(\w+)\((.*)\)\s+=\s+(-?\d+))");
    static const std::regex kPath(R"re("([^"]*)"|<([^>]*)>)re");
    std::vector<Call> calls;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        std::smatch match;
        if (!std::regex_search(line, match, kLine)) {
            continue;
        }
        Call call{match[1], {}, match[3] == "0"};
        const std::string args = match[2];
        for (auto it = std::sregex_iterator(args.begin(), args.end(), kPath);
             it != std::sregex_iterator(); ++it) {
            call.paths.push_back((*it)[1].matched ? (*it)[1].str() : (*it)[2].str());
        }
        calls.push_back(std::move(call));
    }
    return calls;
}

TEST_F(CardUpdate, TheRecordConfigAndPlacedFilesReachTheDeviceInOrder) {
    const fs::path strace = "/usr/bin/strace";
    if (::access(strace.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "strace is not installed (scripts/install-deps)";
    }
    TempDir volume;
    mapserver::write_drive(m_options, volume.path());
    const std::string root = fs::canonical(volume.path()).string();
    const fs::path trace =
        volume.path().parent_path() / (volume.path().filename().string() + ".strace");
    std::vector<std::string> args = {"-f",
                                     "-qq",
                                     "-y",
                                     "-o",
                                     trace.string(),
                                     "-e",
                                     "trace=fsync,fdatasync,syncfs,unlink,unlinkat,rename,"
                                     "renameat,renameat2",
                                     ATLASYNC_TOOL_PATH};
    for (const std::string& arg : update_of(volume.path())) {
        args.push_back(arg);
    }
    // LeakSanitizer cannot run under ptrace; the other checks of a sanitizer build can.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const ScopedVariable noLeakCheck(
        "ASAN_OPTIONS", std::string(sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0");
    std::string output;
    ASSERT_EQ(run_program(strace.string(), args, &output), 0) << output;
    const std::vector<Call> calls = calls_in(trace);
    fs::remove(trace);
    ASSERT_EQ(differences(volume.path(), m_new.path()), "");

    const std::string diskcache = root + "/cities/diskcache";
    const auto on_drive = [&](const std::string& path) { return path.starts_with(root + "/"); };
    const auto find = [&](std::size_t from, const auto& matches) {
        for (std::size_t i = from; i < calls.size(); ++i) {
            if (calls[i].ok && matches(calls[i])) {
                return i;
            }
        }
        return calls.size();
    };
    const auto flushes = [&](const std::string& path) {
        return [path](const Call& c) {
            return (c.name == "fsync" || c.name == "fdatasync" || c.name == "syncfs") &&
                   !c.paths.empty() && c.paths[0] == path;
        };
    };
    const auto syncs_drive = [&](const Call& c) {
        return c.name == "syncfs" && !c.paths.empty() && c.paths[0] == root;
    };
    const auto renamed_to = [](const std::string& suffix) {
        return [suffix](const Call& c) {
            return c.name.starts_with("rename") && !c.paths.empty() &&
                   c.paths.back().ends_with(suffix);
        };
    };
    const auto removes_drive_file = [&](const Call& c) {
        return c.name.starts_with("unlink") && !c.paths.empty() && on_drive(c.paths.back()) &&
               c.paths.back().find(".partial-") == std::string::npos &&
               c.paths.back().find("update.staging") == std::string::npos;
    };

    // The record and its folder are on the device before the first deletion.
    const std::size_t recorded = find(0, renamed_to("/diskcache/update.pending"));
    ASSERT_LT(recorded, calls.size());
    const std::size_t firstDeletion = find(0, removes_drive_file);
    EXPECT_LT(find(recorded, flushes(diskcache)), firstDeletion);
    // Every placed file is on the device before config.cfg names the new version.
    std::size_t config = calls.size();
    std::size_t lastPlaced = 0;
    for (std::size_t i = find(0, renamed_to("/diskcache/config.cfg")); i < calls.size();
         i = find(i + 1, renamed_to("/diskcache/config.cfg"))) {
        config = i;
    }
    ASSERT_LT(config, calls.size());
    for (std::size_t i = 0; i < config; ++i) {
        const Call& c = calls[i];
        if (c.ok && c.name.starts_with("rename") && on_drive(c.paths.back()) &&
            c.paths.back().find("/diskcache/") == std::string::npos) {
            lastPlaced = i;
        }
    }
    EXPECT_LT(find(lastPlaced, syncs_drive), config);
    // config.cfg is on the device before the record goes, and that before the end.
    const std::size_t removed = find(config, [&](const Call& c) {
        return c.name.starts_with("unlink") && c.paths.back() == diskcache + "/update.pending";
    });
    ASSERT_LT(removed, calls.size());
    EXPECT_LT(find(config, flushes(diskcache)), removed);
    EXPECT_LT(find(removed, syncs_drive), calls.size());
}

}  // namespace
}  // namespace atlasync::testing
