#include <gtest/gtest.h>

#include "tests/devlinx/phone_farm.h"
#include "tests/support/child_process.h"

namespace atlasync::testing {
namespace {

TEST(PhonesCommand, ListsEachPhonesMemoriesWithTypeLabelTotalAndFreeBytes) {
    PhoneFarm farm;
    farm.create("alpha", {"--serial", "SN-1", "--model", "X5", "--capacity", "E:2G", "--label",
                          "E:Maps card", "--capacity", "C:1M"});
    write_file(farm.memory("alpha", 'E') / "qf", std::string(1000, 'q'));
    std::string output;
    ASSERT_EQ(run_program(ATLASYNC_TOOL_PATH, {"phones"}, &output), 0) << output;
    EXPECT_NE(output.find("alpha (serial SN-1, model X5)"), std::string::npos) << output;
    EXPECT_NE(output.find("C:   DEV  Phone memory         total         1048576  free         "
                          "1048576"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("E:   MMC  Maps card            total      2147483648  free      "
                          "2147482648"),
              std::string::npos)
        << output;
}

TEST(PhonesCommand, SaysSoWhenNoPhoneIsConnectedAndFailsWithoutTheLibrary) {
    PhoneFarm farm;
    std::string output;
    ASSERT_EQ(run_program(ATLASYNC_TOOL_PATH, {"phones"}, &output), 0) << output;
    EXPECT_EQ(output, "No phones connected.\n");
    farm.configure("DIAPI=" DEVLINX_API_PATH "\nOptions=1\n");  // no DIAPI entry there
    EXPECT_EQ(run_program(ATLASYNC_TOOL_PATH, {"phones"}, &output), 1);
    EXPECT_EQ(output, "");
}

}  // namespace
}  // namespace atlasync::testing
