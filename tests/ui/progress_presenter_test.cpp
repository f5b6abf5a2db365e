#include "ui/wizard/progress_presenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <regex>

#include "service/core/message_queue.h"
#include "tests/ui/observer_test_support.h"
#include "ui/wizard/string_table.h"

using namespace atlasync::ui;
using namespace atlasync::testing;
using namespace MapsService;
using namespace std::chrono_literals;

namespace {

constexpr std::uint64_t kMegabyte = 1048576;

enum class Shown { Nothing, Figures, Transfer };

// One progress message, the time that passed before it, and what the page shows then.
struct Step {
    std::function<void()> message;
    std::chrono::milliseconds after;
    Shown text;
    double percent;
};

class ProgressPresenterTest : public ::testing::Test {
protected:
    void expect(const std::vector<Step>& steps) {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            steps[i].message();
            fixture.deliver();
            now += steps[i].after;
            const ProgressFigures figures = presenter.map_data_transfer(observer);
            EXPECT_EQ(shown(figures), steps[i].text) << "step " << i;
            EXPECT_NEAR(figures.percent, steps[i].percent, 0.01) << "step " << i;
            if (shown(figures) == Shown::Figures) {
                EXPECT_NEAR(percent_written(*figures.text), figures.percent, 0.5) << "step " << i;
            }
        }
    }
    // The share the text's "<done> MB of <total> MB" names; -1 without one.
    static double percent_written(const std::wstring& text) {
        static const std::wregex kFigures(LR"(([0-9]+[.,][0-9]+) MB[^0-9]*([0-9]+[.,][0-9]+) MB)");
        std::wsmatch match;
        if (!std::regex_search(text, match, kFigures)) {
            return -1;
        }
        const auto number = [](std::wstring figure) {
            std::replace(figure.begin(), figure.end(), L',', L'.');
            return std::stod(figure);
        };
        const double total = number(match[2].str());
        return total == 0 ? 100.0 : number(match[1].str()) * 100.0 / total;
    }
    static Shown shown(const ProgressFigures& figures) {
        if (!figures.text) {
            return Shown::Nothing;
        }
        return figures.text->rfind(text(kTextTransferringToPhone), 0) == 0 ? Shown::Transfer
                                                                           : Shown::Figures;
    }

    PumpFixture fixture;
    RecordingMachine machine;
    CProgressObserver observer{fixture.pump(), machine};
    std::chrono::steady_clock::time_point now{};
    ProgressPresenter presenter{[this] { return now; }};
};

void download(std::int32_t kind, std::uint64_t done, std::int32_t result = kResultOk) {
    OnDownloadProgress(kind, result, 0, kind == PACKAGE_STARTED ? 2 * kMegabyte : 0, 0.0,
                       kind == PACKAGE_STARTED ? 2 * kMegabyte : done, 0.0);
}

void unzip(std::uint64_t done) {
    OnUnzipProgress(ITEM_PROGRESS, kResultOk, 0, 0, 0.0, done, 0.0);
}

}  // namespace

TEST_F(ProgressPresenterTest, TextAtMostOnceASecondTheFinishedFiguresAtOnceAndTheBarAlways) {
    expect({
        {[] { download(PACKAGE_STARTED, 0); }, 0ms, Shown::Figures, 0},
        {[] { download(ITEM_PROGRESS, kMegabyte); }, 400ms, Shown::Nothing, 25},
        {[] { download(ITEM_PROGRESS, 2 * kMegabyte); }, 700ms, Shown::Figures, 50},
        // Everything is down: what is left is the transfer onto the phone.
        {[] { unzip(kMegabyte); }, 100ms, Shown::Nothing, 75},
        {[] { unzip(kMegabyte * 3 / 2); }, 1000ms, Shown::Transfer, 87.5},
        {[] { download(PACKAGE_FINISHED, 0); }, 100ms, Shown::Figures, 87.5},
        {[] { unzip(2 * kMegabyte); }, 100ms, Shown::Nothing, 100},
    });
    // A new page writes its first figures at once.
    presenter.restart();
    EXPECT_EQ(shown(presenter.map_data_transfer(observer)), Shown::Figures);
    EXPECT_EQ(shown(presenter.map_data_transfer(observer)), Shown::Nothing);
}
