#include "ui/messaging/progress_observer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "service/core/message_queue.h"
#include "tests/ui/observer_test_support.h"
#include "ui/wizard/wizard_signals.h"

using namespace atlasync::ui;
using namespace atlasync::testing;
using namespace MapsService;
using namespace std::chrono_literals;

namespace {

std::string signal(std::uint16_t number) {
    return "signal " + std::to_string(number);
}

class ProgressObserverTest : public ::testing::Test {
protected:
    // Delivers one message on its own, so successive messages get distinct ticks.
    template <class Produce>
    void send(Produce produce) {
        std::this_thread::sleep_for(5ms);
        produce();
        fixture.deliver();
    }

    PumpFixture fixture;
    RecordingMachine machine;
    CProgressObserver observer{fixture.pump(), machine};
};

TEST_F(ProgressObserverTest, FirstProgressAfterAnItemStartsGivesNoRateAndNoEstimate) {
    send([] { OnDownloadProgress(PACKAGE_STARTED, 0, 0, 1'000'000, 0.0, 4'000'000, 0.0); });
    EXPECT_EQ(observer.download_record().state, PhaseState::Running);
    EXPECT_EQ(observer.download_record().total, 1'000'000u);
    EXPECT_EQ(observer.unzip_record().total, 4'000'000u);
    send([] { OnDownloadProgress(ITEM_STARTED, 0, 11, 0, 0.0, 0, 0.0); });
    send([] { OnDownloadProgress(ITEM_PROGRESS, 0, 11, 50'000, 5.0, 50'000, 5.0); });
    EXPECT_EQ(observer.download_record().done, 50'000u);
    EXPECT_FALSE(observer.download_remaining().has_value());
    // The unzip estimate starts from its seed rate of 300 bytes per millisecond.
    EXPECT_EQ(observer.unzip_remaining(), std::optional<std::uint64_t>(13333));  // 4e6 / 300

    send([] { OnDownloadProgress(ITEM_PROGRESS, 0, 11, 150'000, 15.0, 150'000, 15.0); });
    ASSERT_TRUE(observer.download_remaining().has_value());
    EXPECT_GT(*observer.download_remaining(), 0u);
    EXPECT_EQ(machine.take(), (std::vector<std::string>{signal(SIG_DOWNLOAD_PROGRESS),
                                                        signal(SIG_DOWNLOAD_PROGRESS),
                                                        signal(SIG_DOWNLOAD_PROGRESS)}));
}

TEST_F(ProgressObserverTest, FinishedItemsLeaveTheRegionListAndThePackageResultIsKept) {
    send([] {
        OnDownloadProgress(PACKAGE_STARTED, 0, 0, 1000, 0.0, 2000, 0.0);
        OnDownloadProgress(ITEM_FINISHED, 0, 42, 500, 100.0, 500, 50.0);
        OnDownloadProgress(ITEM_FINISHED, kResultServerError, 43, 0, 0.0, 500, 50.0);
        OnDownloadProgress(PACKAGE_FINISHED, kResultServerError, 0, 0, 0.0, 500, 50.0);
    });
    EXPECT_EQ(machine.take(),
              (std::vector<std::string>{signal(SIG_DOWNLOAD_PROGRESS), "remove region 42",
                                        signal(SIG_DOWNLOAD_PROGRESS)}));
    EXPECT_EQ(observer.download_record().state, PhaseState::FinishedWithError);
    EXPECT_EQ(observer.download_record().result, kResultServerError);
    EXPECT_EQ(observer.unzip_record().state, PhaseState::FinishedWithError);
    // Nothing left to do means no time left, whatever the rates.
    send([] { OnDownloadProgress(ITEM_PROGRESS, 0, 44, 1000, 100.0, 1000, 100.0); });
    EXPECT_EQ(observer.download_remaining(), std::optional<std::uint64_t>(0));
}

TEST_F(ProgressObserverTest, UnzipProgressMeasuresItsRateAndMarksTheUnzipInProgress) {
    send([] { OnDownloadProgress(PACKAGE_STARTED, 0, 0, 1000, 0.0, 1'000'000, 0.0); });
    send([] { OnUnzipProgress(ITEM_STARTED, 0, 5, 0, 0.0, 0, 0.0); });
    send([] { OnUnzipProgress(ITEM_PROGRESS, 0, 5, 100'000, 10.0, 100'000, 10.0); });
    EXPECT_TRUE(observer.unzip_in_progress());
    EXPECT_EQ(observer.unzip_record().done, 100'000u);
    // The measured rate (about 20 000 bytes per millisecond, well above the
    // seed) shortens the estimate below what the seed alone gives.
    ASSERT_TRUE(observer.unzip_remaining().has_value());
    EXPECT_LT(*observer.unzip_remaining(), 900'000u / 300);
    send([] { OnUnzipProgress(ITEM_FINISHED, 0, 5, 100'000, 100.0, 100'000, 10.0); });
    EXPECT_FALSE(observer.unzip_in_progress());
    EXPECT_EQ(machine.take(), (std::vector<std::string>{signal(SIG_DOWNLOAD_PROGRESS),
                                                        signal(SIG_DOWNLOAD_PROGRESS)}));
}

TEST_F(ProgressObserverTest, AnItemFinishingWhileTheNextDownloadsLeavesItsRateAlone) {
    // The finish of an item that was unpacked while the next one downloaded
    // restarted the clock of the running download, which then seemed 13 times faster.
    send([] { OnDownloadProgress(PACKAGE_STARTED, 0, 0, 1'000'000, 0.0, 2'000'000, 0.0); });
    send([] { OnDownloadProgress(ITEM_STARTED, 0, 2, 0, 0.0, 100'000, 10.0); });
    send([] { OnDownloadProgress(ITEM_PROGRESS, 0, 2, 1000, 1.0, 101'000, 10.1); });
    std::this_thread::sleep_for(60ms);
    send([] {
        OnUnzipProgress(ITEM_FINISHED, 0, 1, 200'000, 100.0, 200'000, 10.0);
        OnDownloadProgress(ITEM_FINISHED, 0, 1, 100'000, 100.0, 101'000, 10.1);
    });
    send([] { OnDownloadProgress(ITEM_PROGRESS, 0, 2, 101'000, 11.0, 201'000, 20.1); });
    EXPECT_EQ(observer.download_record().done, 201'000u);
    // 100 000 bytes in at least 65 ms leave 799 000 bytes for at least 519 ms.
    ASSERT_TRUE(observer.download_remaining().has_value());
    EXPECT_GE(*observer.download_remaining(), 480u);
}

TEST_F(ProgressObserverTest, DeleteAndInstallRecordsFollowTheirMessages) {
    send([] {
        OnDeleteProgress(PACKAGE_STARTED, 0, 3000, 0.0);
        OnDeleteProgress(ITEM_PROGRESS, 0, 1200, 40.0);
        OnInstallProgress(PACKAGE_STARTED, 0, 800, 0, 0.0);
        OnInstallProgress(ITEM_PROGRESS, 0, 400, 800, 50.0);
        OnInstallUserActionNeeded();
        OnInstallProgress(PACKAGE_FINISHED, 17, 0, 0, 0.0);
        OnDeleteProgress(PACKAGE_FINISHED, 0, 0, 0.0);
    });
    EXPECT_EQ(observer.delete_record().total, 3000u);
    EXPECT_EQ(observer.delete_record().done, 1200u);
    EXPECT_EQ(observer.delete_record().state, PhaseState::FinishedWell);
    EXPECT_EQ(observer.install_record().total, 800u);
    EXPECT_EQ(observer.install_record().done, 400u);
    EXPECT_EQ(observer.install_record().state, PhaseState::FinishedWithError);
    EXPECT_EQ(observer.install_record().result, 17);
    EXPECT_EQ(machine.take(), (std::vector<std::string>{
                                  signal(SIG_DELETE_PROGRESS), signal(SIG_DELETE_PROGRESS),
                                  signal(SIG_INSTALL_STARTED), signal(SIG_INSTALL_PROGRESS),
                                  signal(SIG_INSTALL_PROGRESS), signal(SIG_INSTALL_USER_ACTION),
                                  signal(SIG_INSTALL_PROGRESS), signal(SIG_DELETE_PROGRESS)}));
}

TEST(RateEstimator, EstimateUsesTheMeanWithATenthTrimmedAtEachEnd) {
    RateEstimator rates(20);
    EXPECT_FALSE(rates.remaining_milliseconds(1000).has_value());
    // 18 steady rates of 10 bytes/ms and two outliers: trimmed away at 20 rates.
    rates.add(0.001);
    for (int i = 0; i < 18; ++i) {
        rates.add(10.0);
    }
    rates.add(5000.0);
    EXPECT_EQ(rates.remaining_milliseconds(1000), std::optional<std::uint64_t>(100));
    // Below ten rates nothing is trimmed: (1 + 2) / 2 = 1.5 bytes/ms.
    RateEstimator few(20);
    few.add(1.0);
    few.add(2.0);
    EXPECT_EQ(few.remaining_milliseconds(1000), std::optional<std::uint64_t>(667));
}

TEST(RateEstimator, OldestRateGoesBeyondTheCapacity) {
    RateEstimator rates(3);
    for (const double r : {1000.0, 1.0, 1.0, 1.0}) {
        rates.add(r);
    }
    EXPECT_EQ(rates.size(), 3u);
    EXPECT_EQ(rates.remaining_milliseconds(50), std::optional<std::uint64_t>(50));
}

}  // namespace
