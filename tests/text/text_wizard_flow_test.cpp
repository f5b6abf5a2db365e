// The text front end on the real machine, worker thread and service, against
// the map server and the phone simulator: its pages answered through its own
// input, a pipe standing in for the terminal.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTimer>
#include <functional>
#include <optional>
#include <regex>

#include "tests/text/captured_terminal.h"
#include "tests/ui/wizard_flow_fixture.h"
#include "ui/text/text_wizard.h"

namespace atlasync::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What the user does: wait until the text is printed (and `ready` holds, when
// given), then type the line (nullopt: close the input), or do what `instead` says.
struct Step {
    std::string waitFor;
    std::optional<std::string> type;
    std::function<void()> instead = {};
    std::function<bool()> ready = {};
};

class TextWizardFlow : public WizardFlow {
protected:
    void SetUp() override {
        WizardFlow::SetUp();
        ASSERT_EQ(::pipe(m_pipe), 0);
        // No newer maps application than the phone's: the map data is updated.
        write_simulation_profile("UpdateVers=0.0.0.1\n");
    }
    void TearDown() override {
        close_input();
        ::close(m_pipe[0]);
        WizardFlow::TearDown();
    }

    void close_input() {
        if (m_pipe[1] >= 0) {
            ::close(m_pipe[1]);
            m_pipe[1] = -1;
        }
    }

    // Runs the text wizard to its end, typing each step's line once its text
    // has been printed after the previous one; answers the exit status.
    int run_text(const std::vector<Step>& steps, bool yes = false) {
        ui::CTextWizard::Options options;
        options.settings = settings();
        options.yes = yes;
        options.inputFd = m_pipe[0];
        options.handleInterrupts = false;
        // Every figure is printed as it comes: a step may wait for any of them.
        options.plainProgressInterval = std::chrono::milliseconds(0);
        ui::CTextWizard wizard(m_terminal.out(), options);
        std::size_t next = 0;
        std::size_t searchFrom = 0;
        QTimer typist;
        QObject::connect(&typist, &QTimer::timeout, [&] {
            if (next == steps.size()) {
                return;
            }
            const std::string text = m_terminal.text();
            const auto at = text.find(steps[next].waitFor, searchFrom);
            if (at == std::string::npos || (steps[next].ready && !steps[next].ready())) {
                return;
            }
            searchFrom = at + steps[next].waitFor.size();
            if (steps[next].instead) {
                steps[next].instead();
            } else if (steps[next].type) {
                const std::string line = *steps[next].type + "\n";
                ASSERT_EQ(::write(m_pipe[1], line.data(), line.size()),
                          static_cast<ssize_t>(line.size()));
            } else {
                close_input();
            }
            ++next;
        });
        typist.start(20);
        // A run that waits for an answer no step gives ends as at the end of input.
        QTimer::singleShot(60s, [&] {
            ADD_FAILURE() << "the run went on too long; printed:\n" << m_terminal.text();
            close_input();
        });
        const int status = wizard.run();
        EXPECT_EQ(next, steps.size()) << "step " << next << " never came; printed:\n"
                                      << m_terminal.text();
        return status;
    }

    std::string output() { return m_terminal.text(); }
    // The last non-empty line printed.
    std::string last_line() {
        std::string text = output();
        while (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        return text.substr(text.rfind('\n') + 1);
    }

    int m_pipe[2] = {-1, -1};
    CapturedTerminal m_terminal{{false, false}};
};

TEST_F(TextWizardFlow, TheNumberTypedOnThePhoneListChoosesThatPhone) {
    create_phone("Alpha", "SN-A");
    create_phone("Beta", "SN-B");
    const int status = run_text({{"[1-2] choose", "2"}, {"[Enter] Download", "c"}});
    EXPECT_EQ(status, 2);
    std::smatch second;
    const std::string text = output();
    ASSERT_TRUE(std::regex_search(text, second, std::regex("  2\\) (\\w+)\n"))) << text;
    EXPECT_NE(text.find("Checking for software updates for " + second[1].str() + "."),
              std::string::npos)
        << text;
    EXPECT_EQ(last_line(), "Cancelled.");
}

// The held region keeps the download running until the test says otherwise:
// a fixed delay ran out under load, and the update ended beneath the question.
// The old maps are gone by then: the page before the end says so.
TEST_F(TextWizardFlow, ACancelDuringTheDownloadAsksAndYesEndsTheRunAfterTheIncompleteMapsNote) {
    const fs::path card = create_phone("p", "SN-1");
    ASSERT_GT(tiles_on(card, 2), 0u);
    region_fault(2, "hold");
    const int status = run_text({{"[Enter] Download", ""},
                                 {" MB of ", "c"},
                                 {"(The application will exit) [y/N] ", "y"},
                                 {"[Enter] Exit", ""}});
    EXPECT_EQ(status, 2);
    EXPECT_EQ(output().find("Update was successful!"), std::string::npos) << output();
    EXPECT_NE(output().find("The maps on your phone are incomplete. Run Atlasync again to "
                            "complete them."),
              std::string::npos)
        << output();
    EXPECT_EQ(last_line(), "Cancelled.");
    expect_incomplete(card);
}

TEST_F(TextWizardFlow, NoToTheCancelQuestionLetsTheDownloadRunToTheEnd) {
    const fs::path card = create_phone("p", "SN-1");
    region_fault(2, "hold");
    const int status =
        run_text({{"[Enter] Download", ""},
                  {" MB of ", "c"},
                  {"(The application will exit) [y/N] ", "n"},
                  // The bar drawn again: the answer was taken, the download goes on.
                  {"%", std::nullopt, [&] { release_held(); }, [&] { return holding(1); }},
                  {"[Enter] Exit", ""}});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(last_line(), "Update was successful!");
    EXPECT_EQ(map_version_on(card), L"1.1.7.0");
}

// Yes came after the update had finished beneath the question: the run ended
// "Cancelled." over a complete update, or waited on a page the question said
// would close.
TEST_F(TextWizardFlow, YesAfterTheUpdateFinishedBeneathTheQuestionExitsWithItsSuccess) {
    const fs::path card = create_phone("p", "SN-1");
    region_fault(2, "hold");
    const int status = run_text({{"[Enter] Download", ""},
                                 {" MB of ", "c"},
                                 {"(The application will exit) [y/N] ", std::nullopt,
                                  [&] { release_held(); }, [&] { return holding(1); }},
                                 {"Update was successful!", "y"}});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(last_line(), "Update was successful!");
    EXPECT_EQ(output().find("Cancelled."), std::string::npos) << output();
    EXPECT_EQ(map_version_on(card), L"1.1.7.0");
}

// Each kind of item failing once: Try Again brings the card to the new
// version whole, the items that had arrived included.
class TextTryAgain : public TextWizardFlow, public ::testing::WithParamInterface<FailsOnce> {};

TEST_P(TextTryAgain, TypedOnTheErrorPageEndsSuccessfulOnlyWithTheWholeNewDriveOnTheCard) {
    const fs::path card = create_phone("p", "SN-1");
    const fs::path fresh = fresh_drive();
    fail_once(GetParam());
    const int status = run_text(
        {{"[Enter] Download", "d"}, {"[t] Try Again   [x] Exit", "t"}, {"[Enter] Exit", ""}});
    EXPECT_EQ(status, 0);
    EXPECT_NE(output().find("Error downloading and installing files."), std::string::npos);
    EXPECT_EQ(last_line(), "Update was successful!");
    EXPECT_EQ(differences(card, fresh), "");
    EXPECT_EQ(map_version_on(card), L"1.1.7.0");
}

INSTANTIATE_TEST_SUITE_P(EachKindOfItem, TextTryAgain, ::testing::ValuesIn(kFailsOnce),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(TextWizardFlow, ExitTypedOnTheErrorPageEndsWithTheFailingCode) {
    create_phone("p", "SN-1");
    region_fault(2, "content-type:text/html,times:1");
    const int status = run_text({{"[Enter] Download", ""}, {"[t] Try Again   [x] Exit", "x"}});
    EXPECT_EQ(status, 9);
    EXPECT_EQ(last_line().rfind("Error downloading and installing files. ", 0), 0u) << last_line();
}

// Leaving the no-phone page ended "Cancelled." with 2, as if the user had stopped a run.
TEST_F(TextWizardFlow, NoPhoneEndsWithFourAndItsPageTextWithOrWithoutYes) {
    EXPECT_EQ(run_text({{"[t] Try Again   [x] Exit", "x"}}), MapsService::kResultInvalidDrive);
    EXPECT_EQ(last_line().rfind("No supported phone connected! ", 0), 0u) << last_line();

    close_input();  // --yes needs no input at all
    EXPECT_EQ(run_text({}, true), MapsService::kResultInvalidDrive);
    EXPECT_EQ(last_line().rfind("No supported phone connected! ", 0), 0u) << last_line();
}

TEST_F(TextWizardFlow, TheEndOfInputCancelsAndYesRunsToTheEndWithoutAnyInput) {
    create_phone("p", "SN-1");
    EXPECT_EQ(run_text({{"[Enter] Download", std::nullopt}}), 2);
    EXPECT_EQ(last_line(), "Cancelled.");

    close_input();  // --yes needs no input at all
    EXPECT_EQ(run_text({}, true), 0);
    EXPECT_NE(output().find("--yes: Download"), std::string::npos);
    EXPECT_EQ(last_line(), "Update was successful!");
}

// The text was rewritten at most once a second, so a short download ended on
// the figures of its first moment ("0.00 MB of 0.38 MB.").
TEST_F(TextWizardFlow, TheMapDataPageEndsOnTheDownloadsFinalFigures) {
    create_phone("p", "SN-1");
    close_input();
    ASSERT_EQ(run_text({}, true), 0);
    const std::string text = output();
    const std::regex figures("([0-9.,]+) MB of ([0-9.,]+) MB");
    std::smatch last;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), figures);
         it != std::sregex_iterator(); ++it) {
        last = *it;
    }
    ASSERT_FALSE(last.empty()) << text;
    EXPECT_EQ(last[1].str(), last[2].str()) << text;
}

}  // namespace
}  // namespace atlasync::testing
