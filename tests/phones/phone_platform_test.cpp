#include "service/phones/phone_platform.h"

#include <gtest/gtest.h>

#include "service/core/text.h"
#include "service/devices/linkdeck_file_system.h"
#include "tests/phones/simulated_phones.h"

namespace atlasync::testing {
namespace {

using namespace MapsService;

class PhonePlatform : public SimulatedPhones {
protected:
    void TearDown() override {
        (void)finalize_phone_platform();
        SimulatedPhones::TearDown();
    }
};

TEST_F(PhonePlatform, StartBringsInThePhonesAndTakesHandedInFoldersUntilTheStop) {
    m_farm.create("p", {"--serial", "SN-P"});
    PhoneManager::SetDriveFlags(1);
    ASSERT_EQ(initialize_phone_platform(L""), kResultOk);
    Phone* phone = phone_with_serial(L"SN-P");
    ASSERT_NE(phone, nullptr);
    EXPECT_TRUE(drive_of(phone, L"MMC")->valid());

    const std::filesystem::path card = m_farm.outside() / "card";
    std::filesystem::create_directories(card);
    ASSERT_EQ(add_usb_volume(to_wide(card.string())), kResultOk);
    std::vector<PhoneDrive*> drives;
    ASSERT_EQ(PhoneManager::GetConnectedDrives(drives), kResultOk);
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[2]->name(), to_wide(card.string()));
    EXPECT_EQ(drives[2]->phone()->name(), L"card");

    EXPECT_EQ(finalize_phone_platform(), kResultOk);
    EXPECT_EQ(LinkdeckFileSystem::device_manager(), nullptr);
    EXPECT_EQ(add_usb_volume(to_wide(card.string())), kResultFailed);
}

TEST_F(PhonePlatform, AConnectivityLibraryThatCannotStartStopsTheWatcherAgain) {
    m_farm.configure("DIAPI=" DEVLINX_API_PATH "\nOptions=1\n");  // no DIAPI entry there
    EXPECT_EQ(initialize_phone_platform(L""), kResultConnectivity);
    const std::filesystem::path card = m_farm.outside() / "card";
    std::filesystem::create_directories(card);
    EXPECT_EQ(add_usb_volume(to_wide(card.string())), kResultFailed);
}

}  // namespace
}  // namespace atlasync::testing
