#include <gtest/gtest.h>

#include "devlinx/sim/farm.h"
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
    const std::vector<std::vector<std::string>> bad = {
        {"create", farm.folder().string(), "alpha"},  // exists
        {"create", farm.folder().string(), "../escape"},
        {"create", farm.folder().string(), "beta", "--capacity", "E:lots"},
        {"create", farm.folder().string(), "beta", "--memories", "C:RAM"},
        {"create", farm.folder().string(), "beta", "--generation", "new"},
        {"create", farm.folder().string(), "beta", "--capacity", "G:1G"},
        {"remove", farm.folder().string(), "nobody"},
    };
    for (const auto& args : bad) {
        std::string output;
        EXPECT_NE(run_program(DEVLINX_PHONE_PATH, args, &output), 0) << args[2];
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
