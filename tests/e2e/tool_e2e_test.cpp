// atlasync-tool check and update as processes against the served world.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include "mapserver/drive/drive_writer.h"
#include "service/content/map_settings.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/e2e/facade_fixture.h"
#include "tests/support/child_process.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;
namespace fs = std::filesystem;

class ToolEndToEnd : public FacadeTest {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        serve();
        mapserver::DriveOptions options;
        options.content = world().content();
        options.mapVersion = "1.1.6.0";
        options.regions = {std::to_string(world().world.regions[1].idid),
                           std::to_string(world().world.regions[4].idid)};
        options.voices = {"all"};
        m_volume = m_work.path() / "volume";
        mapserver::write_drive(options, m_volume);
    }

    std::vector<std::string> arguments(const std::string& command) const {
        return {command, "--server-root", "localhost:" + std::to_string(world_port()), "--volume",
                m_volume.string()};
    }
    int world_port() const { return m_world->served().port(); }

    std::wstring volume_version() const {
        FileSystemWin files(to_wide(m_volume.string()));
        files.load_map_settings();
        return files.map_settings()->map_version().to_text();
    }

    PhoneFarm m_farm;  // no phones: the volume is the only drive
    TempDir m_work;
    fs::path m_volume;
};

TEST_F(ToolEndToEnd, CheckAgainstTheCompiledInServerFailsWithNine) {
    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, {"check"}, &output), 9) << output;
    EXPECT_NE(output.find("get_mapsapp_catalog: 9"), std::string::npos) << output;
}

TEST_F(ToolEndToEnd, CheckReportsTheOutdatedVolumeAndItsDownloadSizeWithoutChangingIt) {
    const auto before = snapshot(m_volume);
    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, arguments("check"), &output), 0) << output;
    EXPECT_NE(output.find("select_phone_drive: 6"), std::string::npos) << output;
    EXPECT_NE(output.find("maps need an update"), std::string::npos) << output;
    EXPECT_NE(output.find("download size: "), std::string::npos) << output;
    EXPECT_NE(output.find("finalize: 0"), std::string::npos) << output;
    EXPECT_EQ(snapshot(m_volume), before);
}

TEST_F(ToolEndToEnd, UpdateBringsTheVolumeToTheServersVersionPrintingProgressLines) {
    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, arguments("update"), &output), 0) << output;
    EXPECT_NE(output.find("download: 0"), std::string::npos) << output;
    EXPECT_NE(output.find("download PACKAGE_FINISHED"), std::string::npos) << output;
    EXPECT_EQ(volume_version(), L"1.1.7.0");
}

TEST_F(ToolEndToEnd, AnInterruptCancelsTheUpdateWithTwo) {
    world().served().server().faults().add(mapserver::parse_fault(
        "*/R" + std::to_string(world().world.regions[4].idid) + ".zip=delay:10000"));
    ChildProcess tool(ATLASYNC_TOOL_PATH, arguments("update"));
    std::string line;
    do {
        line = tool.read_line();
    } while (!line.empty() && line.find("download ITEM_FINISHED") == std::string::npos);
    ASSERT_FALSE(line.empty()) << "the update ended before its first item finished";
    tool.kill(SIGINT);
    const std::string rest = tool.read_all();
    EXPECT_EQ(tool.wait(), 2) << rest;
    EXPECT_NE(rest.find("Interrupted: cancelling."), std::string::npos) << rest;
    EXPECT_NE(rest.find("download: 2"), std::string::npos) << rest;
    EXPECT_NE(rest.find("finalize: 0"), std::string::npos) << rest;
}

// Links in the voice folders led the wipe before an update into the user's files.
TEST_F(ToolEndToEnd, UpdateOfAVolumeWithLinksOffItLeavesEveryFileOffItUntouched) {
    TempDir outside;
    write_file(outside / "home/notes.txt", "mine");
    write_file(outside / "home/photos/p.jpg", "jpeg");
    const fs::path voices = m_volume / "cities/diskcache/voices";
    std::vector<fs::path> voiceFolders(fs::directory_iterator(voices), fs::directory_iterator{});
    ASSERT_FALSE(voiceFolders.empty());
    for (const fs::path& voice : voiceFolders) {
        fs::create_symlink(outside / "home", voice / "home");
    }
    fs::create_symlink(outside / "home", voices / "v30_linked");
    const auto before = snapshot(outside.path());

    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, arguments("update"), &output), 0) << output;
    EXPECT_EQ(volume_version(), L"1.1.7.0");
    EXPECT_EQ(snapshot(outside.path()), before);
}

// A qf naming a voice folder off the volume made the update wipe that folder.
TEST_F(ToolEndToEnd, AVolumeWhoseSettingsPointOffItIsNoMapsDriveAndNothingChanges) {
    TempDir outside;
    fs::copy(m_volume / "cities/diskcache/voices", outside / "voices", fs::copy_options::recursive);
    std::string qf = read_file(m_volume / "qf");
    const std::string key = "voicefiles:";
    const std::size_t at = qf.find(key);
    ASSERT_NE(at, std::string::npos) << qf;
    std::string offDrive = fs::relative(outside / "voices", m_volume).string();
    std::replace(offDrive.begin(), offDrive.end(), '/', '\\');
    qf.replace(at + key.size(), qf.find('\n', at) - at - key.size(), offDrive);
    write_file(m_volume / "qf", qf);
    const auto outsideBefore = snapshot(outside.path());
    const auto volumeBefore = snapshot(m_volume);

    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, arguments("update"), &output), kResultInvalidDrive)
        << output;
    EXPECT_NE(output.find("no maps drive found"), std::string::npos) << output;
    EXPECT_EQ(snapshot(outside.path()), outsideBefore);
    EXPECT_EQ(snapshot(m_volume), volumeBefore);
}

}  // namespace
}  // namespace atlasync::testing
