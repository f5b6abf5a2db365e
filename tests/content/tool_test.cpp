#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/content/served_world.h"
#include "tests/support/child_process.h"

namespace {

using atlasync::testing::read_file;
using atlasync::testing::run_program;
using atlasync::testing::ServedWorld;
using atlasync::testing::TempDir;
namespace fs = std::filesystem;

TEST(GenerateDrive, WritesEachLayoutThatTheDriveCommandReadsBack) {
    ServedWorld world;
    TempDir dir;
    const std::string content = world.content().string();
    std::string output;

    const std::string root = (dir / "root").string();
    ASSERT_EQ(run_program(ATLASYNC_MAPSERVER_PATH,
                          {"generate-drive", root, "--content", content, "--regions",
                           "100001,100003", "--voices", "all"},
                          &output),
              0)
        << output;
    EXPECT_NE(read_file(dir / "root/qf").find("format:QF\n"), std::string::npos);
    EXPECT_EQ(fs::file_size(dir / "root/cities/diskcache/config.cfg"), 32u);

    const std::string serverRoot = "localhost:" + std::to_string(world.served().port());
    ASSERT_EQ(
        run_program(ATLASYNC_TOOL_PATH, {"drive", root, "--server-root", serverRoot}, &output), 0)
        << output;
    EXPECT_NE(output.find("client version:  1.3.15.0"), std::string::npos) << output;
    EXPECT_NE(output.find("regions:         2"), std::string::npos) << output;
    EXPECT_NE(output.find("1100003\t" + world.world.regions[2].name), std::string::npos) << output;
    EXPECT_NE(output.find("voices:          3"), std::string::npos) << output;

    const std::string legacy = (dir / "legacy").string();
    ASSERT_EQ(run_program(ATLASYNC_MAPSERVER_PATH,
                          {"generate-drive", legacy, "--content", content, "--layout", "legacy",
                           "--map-version", "1.0.7.0", "--voices", "english"},
                          &output),
              0)
        << output;
    EXPECT_EQ(read_file(dir / "legacy/qf"), "1000000;cities\\diskcache");
    ASSERT_EQ(run_program(ATLASYNC_TOOL_PATH, {"drive", legacy}, &output), 0) << output;
    EXPECT_NE(output.find("client id:       R47"), std::string::npos) << output;
    EXPECT_NE(output.find("english\tL01"), std::string::npos) << output;

    const std::string privateDrive = (dir / "private").string();
    ASSERT_EQ(run_program(ATLASYNC_MAPSERVER_PATH,
                          {"generate-drive", privateDrive, "--content", content, "--layout",
                           "private", "--client-id", "qtvmaps2.0"},
                          &output),
              0);
    EXPECT_TRUE(fs::exists(dir / "private/private/20001f63/qf"));
    ASSERT_EQ(run_program(ATLASYNC_TOOL_PATH, {"drive", privateDrive}, &output), 0) << output;
    EXPECT_NE(output.find("diskcache:       private\\20001f63\\diskcache"), std::string::npos);
}

TEST(GenerateDrive, BadArgumentsAndMissingContentAreRefused) {
    ServedWorld world;
    TempDir dir;
    std::string output;
    EXPECT_EQ(
        run_program(ATLASYNC_MAPSERVER_PATH, {"generate-drive", (dir / "d").string()}, &output),
        64);
    EXPECT_EQ(run_program(ATLASYNC_MAPSERVER_PATH,
                          {"generate-drive", (dir / "d").string(), "--content",
                           world.content().string(), "--regions", "999"},
                          &output),
              64);
    EXPECT_EQ(run_program(ATLASYNC_MAPSERVER_PATH,
                          {"generate-drive", (dir / "d").string(), "--content",
                           world.content().string(), "--layout", "sideways"},
                          &output),
              64);
    // A folder without maps settings is no maps drive: result 4.
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, {"drive", dir.path().string()}, &output), 4);
    EXPECT_FALSE(fs::exists(dir / "d/qf"));
}

}  // namespace
