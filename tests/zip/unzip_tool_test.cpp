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
