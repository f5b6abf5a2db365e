#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/zip/archive_fixtures.h"

using namespace atlasync::testing;

TEST(UnzipTool, ExtractsPrintsASummaryAndExitsWithTheResultCode) {
    TempDir work;
    write_file(work / "source/a.txt", "alpha\n");
    write_file(work / "source/sub/b.txt", "bravo!\n");
    ASSERT_EQ(run_tool({"zip", "-q", "-r", (work / "a.zip").string(), "."}, work / "source"), 0);

    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH,
                          {"unzip", (work / "a.zip").string(), (work / "out").string()}, &output),
              0);
    EXPECT_EQ(output, "2 files, 13 bytes extracted, result 0\n");
    EXPECT_EQ(read_file(work / "out/sub/b.txt"), "bravo!\n");

    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, {"unzip-size", (work / "a.zip").string()}, &output),
              0);
    EXPECT_EQ(output, "13\n");

    write_file(work / "text.zip", "no archive");
    EXPECT_EQ(
        run_program(ATLASYNC_TOOL_PATH,
                    {"unzip", (work / "text.zip").string(), (work / "out2").string()}, &output),
        11);
    EXPECT_EQ(output, "0 files, 0 bytes extracted, result 11\n");
}

TEST(UnzipTool, InterruptStopsBetweenEntriesAndExitsWithCancelled) {
    TempDir work;
    const char* const makeArchive = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(2000):
        z.writestr(f'tiles/{i % 16}/{i}.tile', bytes(65536))
)";
    ASSERT_EQ(run_tool({"python3", "-c", makeArchive, (work / "big.zip").string()}), 0);

    ChildProcess tool(ATLASYNC_TOOL_PATH,
                      {"unzip", (work / "big.zip").string(), (work / "out").string()});
    // The first folder appears once extraction runs, when interrupts are already caught.
    for (int i = 0; i < 5000 && !fs::exists(work / "out/tiles"); ++i) {
        usleep(1000);
    }
    tool.kill(SIGINT);
    const std::string summary = tool.read_all();
    EXPECT_EQ(tool.wait(), 2);
    EXPECT_NE(summary.find("result 2"), std::string::npos) << summary;
    std::size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(work / "out")) {
        files += item.is_regular_file() ? 1 : 0;
    }
    EXPECT_LT(files, 2000u);
}
