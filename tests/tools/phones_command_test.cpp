#include <gtest/gtest.h>

#include <csignal>

#include "exit_codes/exit_codes.h"
#include "service/core/result_codes.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/support/child_process.h"

namespace atlasync::testing {
namespace {

// The phones' generations come from the map server's device table; nothing
// answers here, so they come from the phones.
constexpr const char* kNoServer = "localhost:9";

TEST(PhonesCommand, ListsEachPhoneWithItsPropertiesAndDrives) {
    PhoneFarm farm;
    farm.create("alpha",
                {"--serial", "SN-1", "--name", "Alpha", "--model", "X5", "--type", "0x2000020",
                 "--generation", "335", "--capacity", "E:2G", "--capacity", "C:1M"});
    write_file(farm.memory("alpha", 'E') / "qf", std::string(1000, 'q'));
    std::string output;
    ASSERT_EQ(run_program(ATLASYNC_TOOL_PATH,
                          {"phones", "--server-root", kNoServer, "--drive-flags", "1"}, &output),
              0)
        << output;
    EXPECT_NE(output.find(" Alpha (serial SN-1, model X5, device type 3, generation 335)\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("  \\\\C:\\  DEV  invalid  total 1048576  free 1048576\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("  \\\\E:\\  MMC  valid  total 2147483648  free 2147482648\n"),
              std::string::npos)
        << output;
}

TEST(PhonesCommand, SaysSoWhenNoPhoneIsConnectedAndFailsWithoutTheLibrary) {
    PhoneFarm farm;
    std::string output;
    ASSERT_EQ(run_program(ATLASYNC_TOOL_PATH, {"phones", "--server-root", kNoServer}, &output), 0)
        << output;
    EXPECT_EQ(output, "No phones connected.\n");
    farm.configure("DIAPI=" DEVLINX_API_PATH "\nOptions=1\n");  // no DIAPI entry there
    // The service's own code, as check and update end with.
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, {"phones", "--server-root", kNoServer}, &output),
              MapsService::kResultConnectivity);
    EXPECT_EQ(output, "");
}

TEST(PhonesCommand, TakesAHandedInFolderAsAVolumeAndRefusesWhatIsNoFolder) {
    PhoneFarm farm;
    const std::filesystem::path card = farm.outside() / "SDCARD";
    std::filesystem::create_directories(card);
    std::string output;
    ASSERT_EQ(
        run_program(ATLASYNC_TOOL_PATH,
                    {"phones", "--server-root", kNoServer, "--volume", card.string()}, &output),
        0)
        << output;
    EXPECT_NE(output.find(" SDCARD (serial , model , device type 0, generation 0)\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("  " + card.string() + "  MMC  invalid  total "), std::string::npos)
        << output;

    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH,
                          {"phones", "--server-root", kNoServer, "--volume",
                           (farm.outside() / "missing").string()},
                          &output),
              kExitUsage);
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, {"phones", "--server-root", kNoServer, "--colour"},
                          &output),
              kExitUsage);
    // Not read as 12.
    EXPECT_EQ(
        run_program(ATLASYNC_TOOL_PATH,
                    {"phones", "--server-root", kNoServer, "--drive-flags", "12abc"}, &output),
        kExitUsage);
}

TEST(PhonesCommand, WatchPrintsPhonesComingAndGoingUntilInterrupted) {
    PhoneFarm farm;
    ChildProcess tool(ATLASYNC_TOOL_PATH,
                      {"phones", "--server-root", kNoServer, "--watch", "--drive-flags", "2"});
    ASSERT_EQ(tool.read_line(), "No phones connected.");
    ASSERT_EQ(tool.read_line(), "Watching phones and drives; interrupt to stop.");
    farm.create("beta", {"--serial", "SN-2", "--name", "Beta"});
    EXPECT_EQ(tool.read_line().rfind("MSG_PHONE_FOUND", 0), 0u);
    EXPECT_EQ(tool.read_line().rfind("MSG_DRIVE_FOUND", 0), 0u);
    EXPECT_EQ(tool.read_line().rfind("MSG_DRIVE_FOUND", 0), 0u);
    farm.remove("beta");
    EXPECT_EQ(tool.read_line().rfind("MSG_DRIVE_LOST", 0), 0u);
    EXPECT_EQ(tool.read_line().rfind("MSG_DRIVE_LOST", 0), 0u);
    EXPECT_EQ(tool.read_line().rfind("MSG_PHONE_LOST", 0), 0u);
    tool.kill(SIGINT);
    EXPECT_EQ(tool.wait(), 0);
}

}  // namespace
}  // namespace atlasync::testing
