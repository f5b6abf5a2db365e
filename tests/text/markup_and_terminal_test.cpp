// The mark-up of the wizard's texts on a terminal, the status line, and the
// page keys.

#include <gtest/gtest.h>

#include "tests/text/captured_terminal.h"
#include "ui/text/markup_text.h"
#include "ui/text/page_layout.h"
#include "ui/wizard/string_table.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::testing {
namespace {

using ui::markup_to_terminal;

TEST(MarkupText, FontTagsGoLineBreaksBecomeLineEndsAndBoldIsBoldOnlyWithEscapes) {
    const std::wstring markup =
        L"<font face=\"Velka Sans\">1. Connect with the <b>USB cable</b>.<br><br>2. Pick "
        L"<B>Linkdeck</B> mode.";
    EXPECT_EQ(markup_to_terminal(markup, false),
              "1. Connect with the USB cable.\n\n2. Pick Linkdeck mode.");
    EXPECT_EQ(markup_to_terminal(markup, true),
              "1. Connect with the \x1b[1mUSB cable\x1b[22m.\n\n2. Pick \x1b[1mLinkdeck\x1b[22m "
              "mode.");
}

TEST(MarkupText, TheDownloadedOfTotalTextReadsAsPlainSentence) {
    const std::wstring text = ui::format_text(ui::text(ui::kTextDownloadedOfTotal), {L"1.5", L"3"});
    EXPECT_EQ(markup_to_terminal(text, false), "1.5 MB of 3 MB.");
}

TEST(MarkupText, UnclosedBoldIsEndedAndStrayCharactersStayText) {
    EXPECT_EQ(markup_to_terminal(L"<b>open", true), "\x1b[1mopen\x1b[22m");
    EXPECT_EQ(markup_to_terminal(L"a < b &amp; c &unknown; d<br/>e", false),
              "a < b & c &unknown; d\ne");
    EXPECT_EQ(markup_to_terminal(L"Pr\u00e9f\u00e9rences", false),
              "Pr\xc3\xa9"
              "f\xc3\xa9rences");
}

TEST(TerminalOutput, ATerminalRedrawsTheStatusLineInPlaceAndEndsItBeforeOtherLines) {
    CapturedTerminal terminal({true, true});
    terminal.out().status("[#--] 10%");
    terminal.out().status("[##-] 20%");
    terminal.out().line("Done");
    EXPECT_EQ(terminal.text(), "\r[#--] 10%\x1b[K\r[##-] 20%\x1b[K\nDone\n");
}

TEST(TerminalOutput, ADumbTerminalBlanksTheRestOfALongerStatusLine) {
    CapturedTerminal terminal({true, false});
    terminal.out().status("abcdef");
    terminal.out().status("abc");
    terminal.out().end_status();
    EXPECT_EQ(terminal.text(), "\rabcdef\rabc   \n");
}

TEST(TerminalOutput, WithoutATerminalEveryStatusIsALineAndNothingIsBold) {
    CapturedTerminal terminal({false, false});
    terminal.out().status("one");
    terminal.out().status("two");
    terminal.out().line(terminal.out().bold("three"));
    EXPECT_EQ(terminal.text(), "one\ntwo\nthree\n");
}

TEST(PageLayout, ButtonsAreTypedAsKeysWholeLabelsOrAnEmptyLineForTheDefault) {
    const auto& update = ui::text_page_layout(ui::WizardPage::UpdateAvailable);
    EXPECT_EQ(ui::button_prompt(update), "[Enter] Download   [c] Cancel");
    EXPECT_EQ(ui::button_for_input(update, "")->signal, ui::SIG_NEXT);
    EXPECT_EQ(ui::button_for_input(update, " D ")->signal, ui::SIG_NEXT);
    EXPECT_EQ(ui::button_for_input(update, "cancel")->signal, ui::SIG_CANCEL_REQUEST);
    EXPECT_FALSE(ui::button_for_input(update, "z"));

    const auto& retry = ui::text_page_layout(ui::WizardPage::ErrorRetry);
    EXPECT_EQ(ui::button_prompt(retry), "[t] Try Again   [x] Exit");
    EXPECT_EQ(ui::button_for_input(retry, "Try again")->signal, ui::SIG_RETRY);
    // "Exit" of the error-retry page is its cancel button; it has no default.
    EXPECT_EQ(ui::button_for_input(retry, "x")->signal, ui::SIG_CANCEL_REQUEST);
    EXPECT_FALSE(ui::button_for_input(retry, ""));

    const auto& complete = ui::text_page_layout(ui::WizardPage::Complete);
    EXPECT_EQ(ui::button_for_input(complete, "exit")->signal, ui::SIG_NEXT);
    EXPECT_TRUE(ui::text_page_layout(ui::WizardPage::Shutdown).buttons.empty());
}

}  // namespace
}  // namespace atlasync::testing
