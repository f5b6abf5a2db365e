#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/phones/phone_platform.h"

using namespace MapsService;

namespace {

// Steps that record their calls and answer the codes they were given.
class PlatformSteps : public ::testing::Test {
protected:
    void make(Result watcherStart, Result watcherStop, Result connectivityStart,
              Result connectivityStop) {
        watcher = {[this, watcherStart] { return record("watcher start", watcherStart); },
                   [this, watcherStop] { return record("watcher stop", watcherStop); }};
        connectivity = {
            [this, connectivityStart] { return record("connectivity start", connectivityStart); },
            [this, connectivityStop] { return record("connectivity stop", connectivityStop); }};
    }
    Result record(const char* what, Result result) {
        calls.push_back(what);
        return result;
    }

    PlatformStep watcher;
    PlatformStep connectivity;
    std::vector<std::string> calls;
};

}  // namespace

TEST_F(PlatformSteps, StartRunsWatcherThenConnectivityAndStopRunsThemInTheSameOrder) {
    make(kResultOk, kResultMapsUpdated, kResultOk, kResultOk);
    EXPECT_EQ(start_platform(watcher, connectivity), kResultOk);
    // The watcher's failure to stop is only traced; the connectivity side decides.
    EXPECT_EQ(stop_platform(watcher, connectivity), kResultOk);
    EXPECT_EQ(calls, (std::vector<std::string>{"watcher start", "connectivity start",
                                               "watcher stop", "connectivity stop"}));

    make(kResultOk, kResultOk, kResultOk, kResultFailed);
    ASSERT_EQ(start_platform(watcher, connectivity), kResultOk);
    EXPECT_EQ(stop_platform(watcher, connectivity), kResultFailed);
}

TEST_F(PlatformSteps, WatcherFailureGivesOneAndTheConnectivitySideNeverStarts) {
    make(kResultConnectivity, kResultOk, kResultOk, kResultOk);
    EXPECT_EQ(start_platform(watcher, connectivity), kResultFailed);
    EXPECT_EQ(calls, (std::vector<std::string>{"watcher start"}));
}

TEST_F(PlatformSteps, ConnectivityFailureGivesItsCodeAndStopsTheWatcherAgain) {
    make(kResultOk, kResultOk, kResultConnectivity, kResultOk);
    EXPECT_EQ(start_platform(watcher, connectivity), kResultConnectivity);
    EXPECT_EQ(calls,
              (std::vector<std::string>{"watcher start", "connectivity start", "watcher stop"}));
}

TEST_F(PlatformSteps, EmptyStepsAreSkippedAndTheHttpLibraryStillStartsAndStops) {
    EXPECT_EQ(start_platform({}, {}), kResultOk);
    EXPECT_EQ(stop_platform({}, {}), kResultOk);
    EXPECT_TRUE(calls.empty());
}
