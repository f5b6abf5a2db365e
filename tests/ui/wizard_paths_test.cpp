// The wizard's less travelled paths: a failed service start, failures of the
// steps that read the phone, a cancel during the maps-application update, and
// the transfer and installation of the maps application.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "mapserver/faults.h"
#include "service/core/text.h"
#include "tests/ui/qt_test_support.h"
#include "tests/ui/wizard_flow_fixture.h"
#include "ui/wizard/error_table.h"
#include "ui/wizard/string_table.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::testing {
namespace {

using ui::WizardPage;

// The calls after the first one that matches, up to the first that ends, by name.
std::vector<RecordingHost::Call> calls_between(
    const RecordingHost& host, const std::function<bool(const RecordingHost::Call&)>& from,
    const std::function<bool(const RecordingHost::Call&)>& to, const std::string& name) {
    std::vector<RecordingHost::Call> found;
    bool inside = false;
    for (const RecordingHost::Call& call : host.calls()) {
        if (inside && to(call)) {
            break;
        }
        if (inside && call.name == name) {
            found.push_back(call);
        }
        inside = inside || from(call);
    }
    return found;
}

bool shown(const RecordingHost::Call& call, WizardPage page) {
    return call.name == "show_page" && call.page == page;
}

// The done and total megabytes a download text shows, as written.
std::optional<std::pair<std::wstring, std::wstring>> figures(const std::wstring& text) {
    static const std::wregex pair(L"<b>([^<]*) MB</b>.* of <b>([^<]*) MB</b>");
    std::wsmatch match;
    if (!std::regex_search(text, match, pair)) {
        return std::nullopt;
    }
    return std::make_pair(match[1].str(), match[2].str());
}

class WizardPaths : public WizardFlow {
protected:
    void fault(const std::string& rule) {
        world().served().server().faults().add(mapserver::parse_fault(rule));
    }
};

// No test reached a failed service start.
TEST_F(WizardPaths, AFailedServiceStartWaitsForTheSearchAndOffersOnlyExitWithoutFinalize) {
    m_farm.configure("DIAPI=" DEVLINX_API_PATH "\nOptions=1\n");  // no DIAPI entry there
    ui::WizardSettings wizardSettings = settings();
    wizardSettings.splashTime = std::chrono::minutes(5);
    m_machine = std::make_unique<ui::CStateMachine>(&m_host, wizardSettings);
    m_machine->start();
    ASSERT_TRUE(process_events_until([&] { return m_machine->initialization_result() >= 0; }));
    // Its signal reaches the splash, which keeps it back.
    EXPECT_FALSE(process_events_until([&] { return m_host.page_count() > 0; },
                                      std::chrono::milliseconds(300)));
    EXPECT_EQ(m_machine->initialization_result(), 12);
    press(ui::SIG_SPLASH_TIMEOUT);
    m_machine->main_window_ready();
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorExit));
    EXPECT_EQ(m_host.heading(WizardPage::ErrorExit), ui::text(107));
    EXPECT_EQ(m_host.description(WizardPage::ErrorExit), ui::error_text(12));
    EXPECT_FALSE(m_host.was_shown(WizardPage::ErrorRetry));
    EXPECT_FALSE(m_host.was_shown(WizardPage::SearchingForPhones));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_until_stopped());
    EXPECT_EQ(m_machine->outcome(), 12);
    const std::string trace = read_file(m_tmp.path() / "work" / "trace.log");
    EXPECT_NE(trace.find("Exit CStateMachine::StRunning"), std::string::npos);
    EXPECT_EQ(trace.find("finalizing MSAPI"), std::string::npos);
}

struct StepFailure {
    const char* step;
    std::vector<const char*> faults;  // map server fault rules
    ui::TextId heading;
};

void PrintTo(const StepFailure& failure, std::ostream* out) {
    *out << failure.step;
}

class WizardStepFailure : public WizardPaths, public ::testing::WithParamInterface<StepFailure> {};

// No test reached the failures of drive selection, region list and update information.
TEST_P(WizardStepFailure, ShowsItsHeadingAndTryAgainSelectsTheDriveAgain) {
    const std::filesystem::path card = create_phone("p", "SN-1");
    // With its index files in place a failed check cannot hide behind fetching them.
    write_file(card / "cities" / "diskcache" / "CachedatHeader.cdt", std::string(64, 'H'));
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    for (const char* rule : GetParam().faults) {
        fault(rule);
    }
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));
    EXPECT_EQ(m_host.heading(WizardPage::ErrorRetry), ui::text(GetParam().heading));
    // The code's text, and beneath it which server sent what.
    const std::wstring description = m_host.description(WizardPage::ErrorRetry);
    EXPECT_EQ(description.rfind(ui::error_text(9) + L"<br>Details: the map server ", 0), 0u)
        << MapsService::to_narrow(description);
    EXPECT_NE(description.find(L" sent text/html instead of "), std::wstring::npos);
    press(ui::SIG_RETRY);
    ASSERT_TRUE(wait_for_page(WizardPage::CheckingForUpdates));
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    EXPECT_EQ(m_host.heading(WizardPage::UpdateAvailable), ui::text(129));
    const auto states = state_trace();
    EXPECT_EQ(std::count(states.begin(), states.end(), "Enter CStateMachine::StSelectPhoneDrive"),
              2);
}

// An answer of the wrong type fails at once, where a transfer might be repeated.
INSTANTIATE_TEST_SUITE_P(
    WizardPaths, WizardStepFailure,
    ::testing::Values(StepFailure{"DriveSelection", {"/vt=content-type:text/html,times:1"}, 108},
                      // The drive's catalogs: "map5" and "mapportervoicepkg30".
                      StepFailure{"RegionList",
                                  {"/pg?*6D61703500*=content-type:text/html,times:1",
                                   "/pg?*766F696365706B67333000*=content-type:text/html,times:1"},
                                  133},
                      // The installer catalog ("touchfw"): fetched at the start (its
                      // failure ignored there) and again for the update information.
                      StepFailure{"UpdateInformation",
                                  {"/pg?*746F756368667700*=content-type:text/html,times:2"},
                                  134}),
    [](const auto& testCase) { return std::string(testCase.param.step); });

// No test reached a cancel during the maps-application update.
TEST_F(WizardPaths, AConfirmedCancelDuringTheMapsApplicationUpdateStopsWithTwo) {
    create_phone("p", "SN-1", {"--step-ms", "300"});
    write_simulation_profile("UpdateVers=99.0.0.0\n");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::Download));
    ASSERT_TRUE(wait_for_page(WizardPage::Download));  // the transfer to the phone
    m_host.confirmAnswer = true;
    press(ui::SIG_CANCEL_REQUEST);
    ASSERT_TRUE(wait_until_stopped());
    EXPECT_EQ(m_host.confirmations(), 1);
    EXPECT_EQ(m_machine->outcome(), 2);
    EXPECT_FALSE(m_host.was_shown(WizardPage::ErrorRetry));
    EXPECT_FALSE(m_host.was_shown(WizardPage::ErrorExit));
    EXPECT_FALSE(m_host.was_shown(WizardPage::Installing));
    EXPECT_FALSE(std::filesystem::exists(m_farm.folder() / "p" / "installed.txt"));
}

// No test followed the maps application's transfer and installation.
TEST_F(WizardPaths, TheInstallerTransferRewritesItsTextOnEveryEventAndTheInstallationEndsOn139) {
    // The phone asks the user twice: once to begin, once to finish.
    create_phone("p", "SN-1", {"--user-actions", "2", "--step-ms", "100"});
    write_simulation_profile("UpdateVers=99.0.0.0\nMapsNeedUpdate=0\n");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::Installing));
    ASSERT_TRUE(wait_for_page(WizardPage::Complete));

    auto transferShown = [](const RecordingHost::Call& call) {
        return shown(call, WizardPage::Download) && call.text == ui::text(137);
    };
    auto installingShown = [](const RecordingHost::Call& call) {
        return shown(call, WizardPage::Installing);
    };
    const auto texts = calls_between(m_host, transferShown, installingShown, "set_download_text");
    // Ten steps of 100 ms: a text kept to one a second would show one or two.
    ASSERT_GE(texts.size(), 10u) << m_host.describe();
    const auto last = figures(texts.back().text);
    ASSERT_TRUE(last.has_value()) << MapsService::to_narrow(texts.back().text);
    EXPECT_EQ(last->first, last->second);
    const auto installing = m_host.calls_named("set_installing_text");
    ASSERT_EQ(installing.size(), 2u);
    EXPECT_EQ(installing[0].text, ui::text(138));
    EXPECT_EQ(installing[1].text, ui::text(139));
    EXPECT_EQ(m_host.heading(WizardPage::Complete), ui::text(125));
}

// A short download ended on the figures of its first second.
TEST_F(WizardPaths, TheMapDataDownloadEndsOnItsFinalFigures) {
    create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::Complete));
    std::optional<std::pair<std::wstring, std::wstring>> last;
    for (const RecordingHost::Call& call : m_host.calls_named("set_download_text")) {
        if (const auto shownFigures = figures(call.text)) {
            last = shownFigures;
        }
    }
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->first, last->second);
}

}  // namespace
}  // namespace atlasync::testing
