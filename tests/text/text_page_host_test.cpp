// The terminal page host on its own: pages, keys, questions, the progress bar,
// and what --yes and the end of input do.

#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <csignal>

#include "tests/text/captured_terminal.h"
#include "tests/ui/qt_test_support.h"
#include "ui/text/text_page_host.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::testing {
namespace {

using namespace std::chrono_literals;
using ui::CTextPageHost;
using ui::WizardPage;

class TextHost : public ::testing::Test {
protected:
    explicit TextHost(ui::TerminalKind kind = {false, false}) : m_terminal(kind) {
        qt_application();
    }

    CTextPageHost& host(bool yes = false) {
        CTextPageHost::Options options;
        options.yes = yes;
        options.clock = [this] { return m_now; };
        m_host = std::make_unique<CTextPageHost>(m_terminal.out(), options);
        m_host->set_signal_sink([this](std::uint16_t signal) { m_signals.push_back(signal); });
        return *m_host;
    }
    // Runs the event loop until the host has sent this many signals.
    bool signals_reach(std::size_t count) {
        return process_events_until([&] { return m_signals.size() >= count; }, 2s);
    }
    // Lets presses posted for later happen.
    void settle() {
        process_events_until([] { return false; }, 50ms);
    }
    std::string output() { return m_terminal.text(); }

    CapturedTerminal m_terminal;
    std::unique_ptr<CTextPageHost> m_host;
    std::vector<std::uint16_t> m_signals;
    std::chrono::steady_clock::time_point m_now{};
};

class TextHostOnTerminal : public TextHost {
protected:
    TextHostOnTerminal() : TextHost({true, true}) {}
};

TEST_F(TextHost, APageShowsItsHeaderLabelsTextsAndKeysAsPlainText) {
    auto& h = host();
    h.set_heading(WizardPage::ErrorRetry, L"No supported phone connected!");
    h.set_description(WizardPage::ErrorRetry, L"<font face=\"x\">1. Use the <b>USB cable</b>.");
    h.show_page(WizardPage::ErrorRetry);
    h.show_page(WizardPage::Download, L"Updating Map Data");
    h.show_page(WizardPage::Installing);
    h.set_installing_text(L"Please complete installation on your phone...");
    EXPECT_EQ(output(),
              "\n== Error ==\nNo supported phone connected!\n1. Use the USB cable.\n"
              "[t] Try Again   [x] Exit   (Ctrl-C cancels)\n"
              "\n== Updating Map Data ==\n[c] Cancel   (Ctrl-C cancels)\n"
              "[------------------------------]   0%\n"
              "\n== Installing ==\n[c] Cancel   (Ctrl-C cancels)\n"
              "Please complete installation on your phone...\n");
    EXPECT_EQ(h.last_result_text(), "No supported phone connected! 1. Use the USB cable.");
}

TEST_F(TextHostOnTerminal, HeadersAndHeadingsAreBoldOnATerminal) {
    auto& h = host();
    h.show_page(WizardPage::Complete);
    const std::string text = output();
    EXPECT_NE(text.find("\x1b[1m== Complete ==\x1b[22m"), std::string::npos) << text;
    EXPECT_NE(text.find("\x1b[1mUpdate was successful!\x1b[22m"), std::string::npos) << text;
    EXPECT_EQ(h.last_result_text(), "Update was successful!");
}

TEST_F(TextHost, TypedKeysPressTheShownPagesButtonsAndAnythingElseIsExplained) {
    auto& h = host();
    h.show_page(WizardPage::UpdateAvailable);
    h.take_line("");
    h.take_line("C");
    h.take_line("later");
    EXPECT_EQ(m_signals, (std::vector<std::uint16_t>{ui::SIG_NEXT, ui::SIG_CANCEL_REQUEST}));
    EXPECT_NE(output().find("\"later\" is not one of: [Enter] Download   [c] Cancel"),
              std::string::npos);
    h.show_page(WizardPage::ErrorRetry);
    h.take_line("t");
    h.take_line("x");
    EXPECT_EQ(m_signals.back(), ui::SIG_CANCEL_REQUEST);
    EXPECT_EQ(m_signals[2], ui::SIG_RETRY);
}

TEST_F(TextHost, ThePhoneListIsANumberedChoiceThatKeepsTheSelectedPhone) {
    auto& h = host();
    h.set_phone_list({{7, L"Alpha"}, {9, L"Beta"}});
    EXPECT_EQ(h.selected_phone(), 7u);
    h.show_page(WizardPage::SelectPhone);
    EXPECT_NE(output().find(" *1) Alpha\n  2) Beta\n[1-2] choose   [Enter] Continue"),
              std::string::npos)
        << output();
    h.take_line("3");  // no such entry
    EXPECT_TRUE(m_signals.empty());
    h.take_line("2");
    EXPECT_EQ(h.selected_phone(), 9u);
    EXPECT_EQ(m_signals, std::vector<std::uint16_t>{ui::SIG_NEXT});
    // A refill keeps the selected phone while it is listed, else the first is.
    h.set_phone_list({{5, L"Gamma"}, {9, L"Beta"}});
    EXPECT_EQ(h.selected_phone(), 9u);
    EXPECT_NE(output().find("  1) Gamma\n *2) Beta\n"), std::string::npos) << output();
    h.set_phone_list({{5, L"Gamma"}});
    EXPECT_EQ(h.selected_phone(), 5u);
    h.set_phone_list({});
    EXPECT_EQ(h.selected_phone(), 0u);
}

TEST_F(TextHost, YesDownloadsAndLeavesFinalPagesWithoutAskingButOnlyFromTheirOwnPage) {
    auto& h = host(true);
    h.show_page(WizardPage::UpdateAvailable);
    ASSERT_TRUE(signals_reach(1));
    EXPECT_EQ(m_signals.back(), ui::SIG_NEXT);
    EXPECT_NE(output().find("--yes: Download"), std::string::npos);
    EXPECT_TRUE(h.confirm_cancel());
    // Automation does not wait on an error page for a retry nobody asks for.
    h.show_page(WizardPage::ErrorRetry);
    ASSERT_TRUE(signals_reach(2));
    EXPECT_EQ(m_signals.back(), ui::SIG_CANCEL_REQUEST);
    // A press meant for a page that was replaced before it happened is dropped.
    h.show_page(WizardPage::Complete);
    h.show_page(WizardPage::Shutdown);
    settle();
    EXPECT_EQ(m_signals.size(), 2u);
    EXPECT_FALSE(h.retry_after_other_instance());
    // The end of input is no cancel under --yes.
    h.take_line(std::nullopt);
    EXPECT_EQ(m_signals.size(), 2u);
}

TEST_F(TextHost, TheEndOfInputCancelsOnceAndLeavesAFinalPageByItsExit) {
    auto& h = host();
    h.show_page(WizardPage::Download);
    h.take_line(std::nullopt);
    h.take_line(std::nullopt);
    EXPECT_EQ(m_signals, std::vector<std::uint16_t>{ui::SIG_CANCEL_REQUEST});
    // No answer can come any more: the question is answered as the cancel meant.
    EXPECT_TRUE(h.confirm_cancel());
    EXPECT_FALSE(h.retry_after_other_instance());
    h.show_page(WizardPage::Complete);
    ASSERT_TRUE(signals_reach(2));
    EXPECT_EQ(m_signals.back(), ui::SIG_NEXT);
}

TEST_F(TextHost, TheCancelQuestionWaitsInTheEventLoopForYesOrNo) {
    auto& h = host();
    h.show_page(WizardPage::Download);
    QTimer::singleShot(0, [&] { h.take_line("n"); });
    EXPECT_FALSE(h.confirm_cancel());
    QTimer::singleShot(0, [&] {
        h.take_line("perhaps");
        QTimer::singleShot(0, [&] { h.take_line(" YES "); });
    });
    EXPECT_TRUE(h.confirm_cancel());
    EXPECT_NE(output().find("Are you sure you want to cancel? (The application will exit) [y/N] "),
              std::string::npos)
        << output();
    EXPECT_NE(output().find("Please answer y or n: "), std::string::npos);
    // Typed answers are not echoed by a pipe: the host repeats them.
    EXPECT_NE(output().find("[y/N] n\n"), std::string::npos) << output();
    // Ctrl-C at the question is a yes; elsewhere it is the window's cancel.
    QTimer::singleShot(0, [&] { h.take_interrupt(); });
    EXPECT_TRUE(h.confirm_cancel());
    EXPECT_TRUE(m_signals.empty());
    h.take_interrupt();
    EXPECT_EQ(m_signals, std::vector<std::uint16_t>{ui::SIG_CANCEL_REQUEST});
}

TEST_F(TextHost, PlainProgressLinesComeAtMostOnceASecondAndTheLastStateWhenThePageGoes) {
    auto& h = host();
    h.show_page(WizardPage::Download);
    h.set_download_text(L"<b>1.00 MB</b> of <b>4.00 MB</b>.");
    m_now += 100ms;
    h.set_download_progress(25);
    m_now += 1100ms;
    h.set_download_progress(50);
    m_now += 300ms;
    h.set_download_progress(75);
    h.show_page(WizardPage::Complete);
    const std::string text = output();
    EXPECT_EQ(text.find(" 25%"), std::string::npos) << text;  // came too soon
    EXPECT_NE(text.find("[###############---------------]  50%  1.00 MB of 4.00 MB.\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[#######################-------]  75%  1.00 MB of 4.00 MB.\n"),
              std::string::npos)
        << text;
}

// The page cleared for the installer's transfer hid the download's final figures.
TEST_F(TextHost, ADownloadPageStartingAgainFirstShowsTheFiguresTheLastTransferEndedOn) {
    auto& h = host();
    h.show_page(WizardPage::Download);
    m_now += 100ms;
    h.set_download_progress(100);
    h.set_download_text(L"<b>0.05 MB</b> of <b>0.05 MB</b>.");
    h.set_download_text({});
    h.set_download_progress(0);
    h.show_page(WizardPage::Download, L"Installing");
    const std::string text = output();
    EXPECT_NE(text.find("[##############################] 100%  0.05 MB of 0.05 MB.\n\n== "
                        "Installing ==\n"),
              std::string::npos)
        << text;
}

TEST_F(TextHostOnTerminal, OnATerminalTheBarIsRedrawnInPlaceWithItsText) {
    auto& h = host();
    h.show_page(WizardPage::Download);
    h.set_download_progress(10);  // too soon after the first drawing
    m_now += 200ms;
    h.set_download_progress(40);
    h.set_download_text(L"Estimated time: 5 Seconds");
    h.show_page(WizardPage::Complete);
    const std::string text = output();
    EXPECT_NE(text.find("\r[------------------------------]   0%\x1b[K\r[############---"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("]  40%  Estimated time: 5 Seconds\x1b[K\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("  10%"), std::string::npos) << text;
}

}  // namespace
}  // namespace atlasync::testing
