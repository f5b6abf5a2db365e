#include <gtest/gtest.h>

#include "devlinx/sim/farm.h"
#include "exit_codes/exit_codes.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/support/child_process.h"

namespace atlasync::testing {
namespace {

TEST(DevlinxPhone, CreatesAPhoneWithItsMemoriesCapacitiesAndInstallBehaviour) {
    PhoneFarm farm;
    farm.create("alpha", {"--serial", "SN-7", "--model", "X5", "--generation", "320", "--memories",
                          "C:DEV,E:MMC,F:MMC", "--capacity", "E:2G", "--label", "F:Spare",
                          "--install-status", "0x80600000", "--user-action", "--no-marker"});
    const auto phone = devlinx::sim::find_phone(L"SN-7");
    ASSERT_TRUE(phone.has_value());
    EXPECT_EQ(phone->model, L"X5");
    EXPECT_EQ(phone->generation, 320);
    EXPECT_EQ(phone->install_status, static_cast<int32_t>(0x80600000u));
    EXPECT_EQ(phone->install_user_action, 1);
    EXPECT_FALSE(phone->install_writes_marker);
    const auto memories = devlinx::sim::phone_memories(*phone);
    ASSERT_EQ(memories.size(), 3u);
    EXPECT_EQ(memories[0].type, L"DEV");
    EXPECT_EQ(memories[1].capacity, std::int64_t{2} << 30);
    EXPECT_EQ(memories[2].label, L"Spare");
    EXPECT_EQ(memories[2].type, L"MMC");
}

TEST(DevlinxPhone, RefusesBadInputAndLeavesTheFarmAsItWas) {
    PhoneFarm farm;
    farm.create("alpha");
    // A bad command line is told from a farm that refuses the change.
    const struct {
        std::vector<std::string> args;
        int status;
    } bad[] = {
        {{"create", farm.folder().string(), "alpha"}, kExitFailed},  // exists
        {{"create", farm.folder().string(), "../escape"}, kExitUsage},
        {{"create", farm.folder().string(), "beta", "--capacity", "E:lots"}, kExitUsage},
        {{"create", farm.folder().string(), "beta", "--memories", "C:RAM"}, kExitUsage},
        {{"create", farm.folder().string(), "beta", "--generation", "new"}, kExitUsage},
        {{"create", farm.folder().string(), "beta", "--capacity", "G:1G"}, kExitUsage},
        {{"create", farm.folder().string(), "beta", "--serial"}, kExitUsage},
        {{"remove", farm.folder().string(), "nobody"}, kExitFailed},
    };
    for (const auto& c : bad) {
        std::string output;
        EXPECT_EQ(run_program(DEVLINX_PHONE_PATH, c.args, &output), c.status) << c.args[2];
    }
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(farm.folder())) {
        entries.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(entries, std::vector<std::string>{"alpha"});
    EXPECT_FALSE(std::filesystem::exists(farm.folder().parent_path() / "escape"));
}

}  // namespace
}  // namespace atlasync::testing
