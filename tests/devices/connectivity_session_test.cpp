#include <gtest/gtest.h>

#include "service/devices/connectivity_calls.h"
#include "service/devices/connectivity_loader.h"
#include "service/devices/connectivity_session.h"
#include "tests/devlinx/phone_farm.h"

namespace MapsService {
namespace {

using atlasync::testing::PhoneFarm;

void expect_all_modules_stopped() {
    for (auto module :
         {ConnectivityModule::DMAPI, ConnectivityModule::FSAPI, ConnectivityModule::DIAPI}) {
        EXPECT_EQ(connectivity_loader().reference_count(module), 0) << module_name(module);
        EXPECT_FALSE(connectivity_loader().is_loaded(module)) << module_name(module);
    }
}

TEST(ConnectivitySession, StartOpensTheDeviceManagerAndStopReleasesEveryModule) {
    PhoneFarm farm;
    farm.create("alpha");
    DLNKDMHANDLE dm = nullptr;
    ASSERT_EQ(start_connectivity(dm), kResultOk);
    ASSERT_NE(dm, nullptr);
    uint32_t count = 0;
    EXPECT_EQ(Devlinx::DLNKGetDeviceCount(dm, &count), DLNK_OK);
    EXPECT_EQ(count, 1u);
    DLNK_DEVICE_INFO* info = nullptr;
    ASSERT_EQ(Devlinx::DLNKGetDeviceInfo(dm, L"alpha", DLNK_INFO_KIND_GENERAL, &info), DLNK_OK);
    EXPECT_EQ(Devlinx::DLNKFreeDeviceInfoStructure(info), DLNK_OK);
    EXPECT_EQ(stop_connectivity(dm), kResultOk);
    expect_all_modules_stopped();
    EXPECT_EQ(Devlinx::DLNKGetDeviceCount(dm, &count), DLNK_E_NOT_INITIALIZED);
}

TEST(ConnectivitySession, ModuleThatCannotStartStopsThoseStartedBeforeAndGives12) {
    PhoneFarm farm;
    // A library lacking the module's entry point, for each module in turn.
    for (const char* settings :
         {"DMAPI=" DVLX_ABAPI_PATH "\nOptions=1\n", "FSAPI=" DVLX_ABAPI_PATH "\nOptions=1\n",
          "DIAPI=" DEVLINX_API_PATH "\nOptions=1\n"}) {
        farm.configure(settings);
        DLNKDMHANDLE dm = nullptr;
        EXPECT_EQ(start_connectivity(dm), kResultConnectivity) << settings;
        EXPECT_EQ(dm, nullptr);
        expect_all_modules_stopped();
    }
}

TEST(ConnectivitySession, StopReportsAFailedStepAndStillStopsTheModules) {
    PhoneFarm farm;
    DLNKDMHANDLE dm = nullptr;
    ASSERT_EQ(start_connectivity(dm), kResultOk);
    ASSERT_EQ(Devlinx::DLNKCloseDM(dm), DLNK_OK);
    EXPECT_EQ(stop_connectivity(dm), kResultFailed);  // already closed
    expect_all_modules_stopped();
}

}  // namespace
}  // namespace MapsService
