#include "service/devices/platform.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace MapsService;

namespace {

// Installs recording steps for one test and removes them afterwards.
class PlatformSteps : public ::testing::Test {
protected:
    void install(Result watcherStart, Result watcherStop, Result connectivityStart,
                 Result connectivityStop) {
        set_usb_watcher_step(
            {[this, watcherStart] { return record("watcher start", watcherStart); },
             [this, watcherStop] { return record("watcher stop", watcherStop); }});
        set_connectivity_step(
            {[this, connectivityStart] { return record("connectivity start", connectivityStart); },
             [this, connectivityStop] { return record("connectivity stop", connectivityStop); }});
    }
    void TearDown() override {
        set_usb_watcher_step({});
        set_connectivity_step({});
    }
    Result record(const char* what, Result result) {
        calls.push_back(what);
        return result;
    }

    std::vector<std::string> calls;
};

}  // namespace

TEST_F(PlatformSteps, StartRunsWatcherThenConnectivityAndStopRunsThemInTheSameOrder) {
    install(kResultOk, 7, kResultOk, kResultOk);
    EXPECT_EQ(platform_initialize(), kResultOk);
    // The watcher's failure to stop is only traced; the connectivity side decides.
    EXPECT_EQ(platform_finalize(), kResultOk);
    EXPECT_EQ(calls, (std::vector<std::string>{"watcher start", "connectivity start",
                                               "watcher stop", "connectivity stop"}));

    install(kResultOk, kResultOk, kResultOk, kResultFailed);
    ASSERT_EQ(platform_initialize(), kResultOk);
    EXPECT_EQ(platform_finalize(), kResultFailed);
}

TEST_F(PlatformSteps, WatcherFailureGivesOneAndTheConnectivitySideNeverStarts) {
    install(kResultConnectivity, kResultOk, kResultOk, kResultOk);
    EXPECT_EQ(platform_initialize(), kResultFailed);
    EXPECT_EQ(calls, (std::vector<std::string>{"watcher start"}));
}

TEST_F(PlatformSteps, ConnectivityFailureGivesItsCodeAndStopsTheWatcherAgain) {
    install(kResultOk, kResultOk, kResultConnectivity, kResultOk);
    EXPECT_EQ(platform_initialize(), kResultConnectivity);
    EXPECT_EQ(calls,
              (std::vector<std::string>{"watcher start", "connectivity start", "watcher stop"}));
}

TEST_F(PlatformSteps, WithoutInstalledStepsTheLayerStartsAndStopsTheHttpLibraryAlone) {
    EXPECT_EQ(platform_initialize(), kResultOk);
    EXPECT_EQ(platform_finalize(), kResultOk);
    EXPECT_TRUE(calls.empty());
}
