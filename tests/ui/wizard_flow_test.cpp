// The wizard's flow end to end: the real state machine, its worker thread and
// the service, against the map server and simulated phones.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <memory>
#include <regex>

#include "service/content/map_settings.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "service/facade/maps_service.h"
#include "tests/ui/qt_test_support.h"
#include "tests/ui/wizard_flow_fixture.h"
#include "ui/messaging/call_gate.h"
#include "ui/wizard/error_table.h"
#include "ui/wizard/string_table.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::testing {
namespace {

namespace fs = std::filesystem;
using ui::WizardPage;

// Every exit closes the state entered last, and the run leaves none open.
void expect_nested_entries_and_exits(const std::vector<std::string>& trace) {
    std::vector<std::string> open;
    for (const std::string& line : trace) {
        if (line.rfind("Enter ", 0) == 0) {
            open.push_back(line.substr(6));
        } else {
            ASSERT_FALSE(open.empty()) << line;
            EXPECT_EQ(open.back(), line.substr(5));
            open.pop_back();
        }
    }
    EXPECT_TRUE(open.empty());
}

TEST_F(WizardFlow, AFullRunWithOnePhoneUpdatesTheDriveAndTracesEveryStateInOrder) {
    const fs::path card = create_phone("p", "SN-1");
    // No maps application is newer than the one on the phone.
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    ui::WizardSettings wizardSettings = settings();
    m_machine = std::make_unique<ui::CStateMachine>(&m_host, wizardSettings);
    m_host.onPage = [this](WizardPage page) {
        if (page == WizardPage::UpdateAvailable || page == WizardPage::Complete) {
            QTimer::singleShot(0, [this] { press(ui::SIG_NEXT); });
        }
    };
    EXPECT_EQ(m_machine->run(), 0);
    EXPECT_EQ(m_machine->outcome(), 0);

    const auto pages = m_host.pages();
    const std::vector<WizardPage> expected = {WizardPage::CheckingForUpdates,
                                              WizardPage::UpdateAvailable, WizardPage::Download,
                                              WizardPage::Complete, WizardPage::Shutdown};
    std::vector<WizardPage> withoutSearch;
    std::copy_if(pages.begin(), pages.end(), std::back_inserter(withoutSearch),
                 [](WizardPage page) { return page != WizardPage::SearchingForPhones; });
    EXPECT_EQ(withoutSearch, expected);
    EXPECT_EQ(m_host.heading(WizardPage::UpdateAvailable), ui::text(129));
    EXPECT_EQ(m_host.heading(WizardPage::Complete), ui::text(125));
    EXPECT_EQ(m_host.end_result(), 2);
    EXPECT_FALSE(m_host.was_shown(WizardPage::SelectPhone));
    EXPECT_EQ(m_host.calls().front().name, "show_splash");

    // Read before anything traces again: a new trace starts a new file.
    const std::string trace = read_file(m_tmp.path() / "work" / "trace.log");
    const auto states = state_trace();
    EXPECT_NE(trace.find("finalize MSAPI finished"), std::string::npos);
    EXPECT_EQ(map_version_on(card), L"1.1.7.0");
    expect_nested_entries_and_exits(states);
    for (const char* state :
         {"StRunning", "StSplashScreen", "StWaitingForMainDlg", "StSearchingForPhonesInitial",
          "StSelectPhoneDrive", "StGetRegionList", "StGetMapsAppVersions",
          "StMapDataUpdateAvailable", "StUpdateMapData", "StCompleted"}) {
        EXPECT_NE(
            std::find(states.begin(), states.end(), std::string("Enter CStateMachine::") + state),
            states.end())
            << state;
    }
    EXPECT_EQ(states.front(), "Enter CStateMachine::StRunning");
    EXPECT_EQ(states.back(), "Exit CStateMachine::StRunning");
}

TEST_F(WizardFlow, NoPhoneShowsTheNoPhonePageAndPluggingOneInMovesOnWithoutTryAgain) {
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));
    EXPECT_EQ(m_host.heading(WizardPage::ErrorRetry), ui::text(104));
    EXPECT_EQ(m_host.heading(WizardPage::ErrorRetry), L"No supported phone connected!");
    create_phone("p", "SN-1");
    ASSERT_TRUE(wait_for_page(WizardPage::CheckingForUpdates));
    EXPECT_NE(m_machine->selected_phone(), 0u);
    EXPECT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
}

// What a folder named with --volume is exempt from: a phone that cannot
// install applications is not offered.
TEST_F(WizardFlow, APhoneThatCannotInstallApplicationsIsNotOffered) {
    const fs::path card = create_phone("p", "SN-1", {"--features", "0x200"});
    const auto before = snapshot(card);
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));
    EXPECT_EQ(m_host.heading(WizardPage::ErrorRetry), ui::text(104));
    // The service holds its maps drive; the wizard refused it.
    const auto phones = MapsService::connected_phones();
    ASSERT_EQ(phones.size(), 1u);
    EXPECT_TRUE(std::any_of(phones[0].drives.begin(), phones[0].drives.end(),
                            [](const MapsService::DriveInfo& drive) { return drive.valid; }));
    EXPECT_EQ(m_machine->phone_count(), 0u);
    EXPECT_EQ(snapshot(card), before);
}

TEST_F(WizardFlow, TwoPhonesShowTheListAndTheChosenOneIsChecked) {
    create_phone("p", "SN-1");
    create_phone("q", "SN-2");
    m_host.phoneChoice = 1;
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::SelectPhone));
    ASSERT_TRUE(process_events_until([&] { return m_host.phone_list().size() == 2; }));
    const ui::PhoneEntry chosen = m_host.phone_list()[1];
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::CheckingForUpdates));
    EXPECT_EQ(m_machine->selected_phone(), chosen.phoneId);
    const auto texts = m_host.calls_named("set_phone_text");
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back().text, ui::format_text(ui::text(106), {chosen.name}));
}

TEST_F(WizardFlow, AFirstEnumerationEndedDuringTheSplashNeverShowsTheSearchingPage) {
    create_phone("p", "SN-1");
    ui::WizardSettings wizardSettings = settings();
    wizardSettings.splashTime = std::chrono::minutes(5);
    m_machine = std::make_unique<ui::CStateMachine>(&m_host, wizardSettings);
    m_machine->start();
    // The first enumeration's end reaches the machine while the splash shows.
    ASSERT_TRUE(process_events_until([&] { return m_machine->initial_search_done(); }));
    EXPECT_FALSE(m_machine->splash_finished());
    press(ui::SIG_SPLASH_TIMEOUT);
    m_machine->main_window_ready();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    EXPECT_FALSE(m_host.was_shown(WizardPage::SearchingForPhones));
}

TEST_F(WizardFlow, CodeSixMeansMapsNeedUpdateUnlessTheSimulationProfileSaysZero) {
    create_phone("p", "SN-1");
    write_simulation_profile("MapsNeedUpdate=0\nUpdateVers=0.0.0.1\n");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::Complete));
    EXPECT_FALSE(m_machine->maps_need_update());
    EXPECT_EQ(m_host.heading(WizardPage::Complete), ui::text(127));
    EXPECT_FALSE(m_host.was_shown(WizardPage::UpdateAvailable));
    const std::string trace = read_file(m_tmp.path() / "work" / "trace.log");
    EXPECT_NE(trace.find("Maps do not need update"), std::string::npos);
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_until_stopped());
    EXPECT_EQ(m_machine->outcome(), 0);
}

// The old maps were gone and not every new one had come, yet the run ended on
// nothing more than its cancel.
TEST_F(WizardFlow, CancelDuringTheDownloadAsksNoLetsItRunAndYesEndsOnTheIncompleteMapsNote) {
    const fs::path card = create_phone("p", "SN-1");
    ASSERT_GT(tiles_on(card, 3), 0u);
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    // One at a time: the first held answer is let go after "No", the second
    // keeps the download running until "Yes". Both are the same region's: its
    // first answer arrives damaged once let go, and the fetch it needs again is
    // held, while the regions after it wait to be placed.
    region_fault(2, "hold,damage-at:100,times:1");
    region_fault(2, "hold");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::Download));
    // The download itself has begun: its text counts megabytes.
    ASSERT_TRUE(process_events_until([&] {
        const auto texts = m_host.calls_named("set_download_text");
        return !texts.empty() && texts.back().text.find(L" MB") != std::wstring::npos;
    }));

    ASSERT_TRUE(wait_until_held(1));
    m_host.confirmAnswer = false;
    press(ui::SIG_CANCEL_REQUEST);
    ASSERT_TRUE(process_events_until([&] { return m_host.confirmations() == 1; }));
    const std::size_t progressBefore = m_host.calls_named("set_download_progress").size();
    release_held();
    ASSERT_TRUE(process_events_until(
        [&] { return m_host.calls_named("set_download_progress").size() > progressBefore; }));
    ASSERT_TRUE(wait_until_held(2));
    EXPECT_FALSE(m_machine->stopped());

    m_host.confirmAnswer = true;
    press(ui::SIG_CANCEL_REQUEST);
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorExit));
    EXPECT_EQ(m_host.heading(WizardPage::ErrorExit), ui::text(ui::kTextMapDataUpdateFailed));
    EXPECT_EQ(m_host.description(WizardPage::ErrorExit), with_incomplete_note(ui::error_text(2)));
    expect_incomplete(card);
    EXPECT_FALSE(m_machine->stopped());
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_until_stopped());
    EXPECT_EQ(m_host.confirmations(), 2);
    EXPECT_EQ(m_machine->outcome(), 2);
    EXPECT_EQ(m_host.end_result(), 2);
    EXPECT_FALSE(m_host.was_shown(WizardPage::Complete));
    EXPECT_FALSE(m_host.was_shown(WizardPage::ErrorRetry));
    EXPECT_EQ(m_host.current_page(), WizardPage::Shutdown);
}

// Nothing on the card had changed: the run ends at once, as it always did.
TEST_F(WizardFlow, ACancelOnTheUpdateOfferEndsAtOnceAndSaysNothingOfTheMaps) {
    const fs::path card = create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    const auto before = snapshot(card);
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_CANCEL_REQUEST);
    ASSERT_TRUE(wait_until_stopped());
    EXPECT_EQ(m_machine->outcome(), 2);
    EXPECT_EQ(m_host.confirmations(), 0);
    EXPECT_FALSE(m_host.was_shown(WizardPage::ErrorExit));
    for (const RecordingHost::Call& call : m_host.calls()) {
        EXPECT_EQ(call.text.find(ui::text(ui::kTextMapsIncomplete)), std::wstring::npos)
            << call.name;
    }
    EXPECT_EQ(snapshot(card), before);
}

// The machine's clock steps 400 ms at each reading and the host records that
// time: the rule is checked on every text, and nothing waits a real second.
TEST_F(WizardFlow, ProgressTextIsRewrittenAtMostOnceASecondWhileTheBarFollowsEveryEvent) {
    using namespace std::chrono_literals;
    create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    const auto now = std::make_shared<std::chrono::steady_clock::time_point>();
    ui::WizardSettings wizardSettings = settings();
    wizardSettings.clock = [now] { return *now += 400ms; };
    m_host.clock = [now] { return *now; };
    start_machine(wizardSettings);
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::Complete));

    // The texts after the page's own start text.
    std::vector<RecordingHost::Call> texts;
    bool started = false;
    for (const RecordingHost::Call& call : m_host.calls_named("set_download_text")) {
        if (started) {
            texts.push_back(call);
        }
        started = started || call.text == ui::text(ui::kTextDeletingOldMaps);
    }
    ASSERT_GE(texts.size(), 4u);
    // Written as soon as a second has passed, never sooner; only the finished
    // download's final figures ("X MB of X MB") come whatever the time.
    const std::wregex figures(L"([0-9.,]+) MB of ([0-9.,]+) MB");
    bool finalSeen = false;
    for (std::size_t i = 1; i < texts.size(); ++i) {
        const std::wstring plain = std::regex_replace(texts[i].text, std::wregex(L"<[^>]*>"), L"");
        std::wsmatch match;
        const bool isFinal =
            !finalSeen && std::regex_search(plain, match, figures) && match[1] == match[2];
        finalSeen = finalSeen || isFinal;
        const auto gap = texts[i].when - texts[i - 1].when;
        if (!isFinal) {
            EXPECT_GE(gap, 1000ms) << i;
            EXPECT_LE(gap, 1200ms) << i;
        }
    }
    EXPECT_TRUE(finalSeen);
    const auto bar = m_host.calls_named("set_download_progress");
    EXPECT_GT(bar.size(), texts.size() + 2);
    EXPECT_NEAR(bar.back().value, 100.0, 0.01);
}

// What the service says of a region archive served as a web page.
constexpr const wchar_t* kWrongTypeCause =
    L"the map server localhost sent text/html instead of application/zip";

TEST_F(WizardFlow, TryAgainAfterThePhoneWasRepluggedGoesBackThroughPhoneChoice) {
    create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    region_fault(2, "content-type:text/html,times:1");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));
    EXPECT_EQ(m_host.heading(WizardPage::ErrorRetry), ui::text(126));
    // The code's text, what the server did beneath it, and that the maps are incomplete.
    EXPECT_EQ(
        m_host.description(WizardPage::ErrorRetry),
        with_incomplete_note(ui::error_text(9) + L"<br>" +
                             ui::format_text(ui::text(ui::kTextErrorDetails), {kWrongTypeCause})));

    m_farm.remove("p");
    ASSERT_TRUE(process_events_until([&] { return m_machine->selected_phone() == 0; }));
    create_phone("p", "SN-1");
    ASSERT_TRUE(process_events_until([&] { return m_machine->phone_count() == 1; }));
    press(ui::SIG_RETRY);
    // Through phone choice to drive selection, not straight back to the download.
    ASSERT_TRUE(wait_for_page(WizardPage::CheckingForUpdates));
    EXPECT_NE(m_machine->selected_phone(), 0u);
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::Complete));
}

TEST_F(WizardFlow, TryAgainWithThePhoneStillThereRetriesTheFailedStep) {
    create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    region_fault(2, "content-type:text/html,times:1");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));
    press(ui::SIG_RETRY);
    ASSERT_TRUE(wait_for_page(WizardPage::Download));
    ASSERT_TRUE(wait_for_page(WizardPage::Complete));
    const auto pages = m_host.pages();
    EXPECT_EQ(std::count(pages.begin(), pages.end(), WizardPage::CheckingForUpdates), 1);
}

// Destroying a machine that had not stopped (a run left through an exception)
// released the observers, then delivered the signals still queued to the
// running states, which used the released phone observer.
TEST_F(WizardFlow, AMachineDestroyedWhileRunningStopsFirstAndIgnoresWhatIsStillQueued) {
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));  // no phone
    ui::post_signal(*m_machine, ui::SIG_PHONES_CHANGED);
    ui::post_signal(*m_machine, ui::SIG_RETRY);
    m_machine.reset();

    const auto states = state_trace();
    expect_nested_entries_and_exits(states);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), "Exit CStateMachine::StRunning");
    EXPECT_NE(read_file(m_tmp.path() / "work" / "trace.log").find("finalize MSAPI finished"),
              std::string::npos);
    EXPECT_EQ(m_host.current_page(), WizardPage::Shutdown);
    EXPECT_EQ(m_host.end_result(), 2);
}

TEST_F(WizardFlow, ExitFromAnErrorPageEndsWithItsCode) {
    create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    region_fault(2, "content-type:text/html,times:1");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));
    press(ui::SIG_CANCEL_REQUEST);  // "Exit" of the retry page
    ASSERT_TRUE(wait_until_stopped());
    EXPECT_EQ(m_machine->outcome(), 9);
    EXPECT_EQ(m_machine->failure_cause(), kWrongTypeCause);
    EXPECT_EQ(m_host.confirmations(), 0);
}

TEST_F(WizardFlow, ACardWithoutRoomForTheUpdateShowsThePhoneFullErrorAndKeepsItsMaps) {
    const fs::path card = create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    std::uintmax_t used = 0;
    for (const auto& entry : fs::recursive_directory_iterator(card)) {
        used += entry.is_regular_file() ? entry.file_size() : 0;
    }
    // A hundred bytes free: less than the city indexes the new maps add.
    write_file(card / "memory.ini", "capacity=" + std::to_string(used + 100) + "\n");
    const auto before = snapshot(card / "cities");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));
    EXPECT_EQ(m_host.heading(WizardPage::ErrorRetry), ui::text(126));
    EXPECT_EQ(m_host.description(WizardPage::ErrorRetry), ui::error_text(14));
    EXPECT_EQ(snapshot(card / "cities"), before);
    EXPECT_EQ(map_version_on(card), L"1.1.6.0");
}

// The work folder is made first by get_download_size, while the update page
// is being filled in: its failure must reach the user as the failure it is.
TEST_F(WizardFlow, AWorkFolderThatCannotBeMadeEndsOnTheLocalDiskErrorPage) {
    const fs::path card = create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    const fs::path ours = m_tmp.path() / "tmp" / ("atlasync-" + std::to_string(::getuid()));
    fs::create_directories(ours);
    fs::permissions(ours, fs::perms::owner_all);
    write_file(ours / "download_temp", "a file where the work folders go");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    // Offered without a size: none could be told.
    EXPECT_EQ(m_host.description(WizardPage::UpdateAvailable).find(L" | "), std::wstring::npos);
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));
    EXPECT_EQ(m_host.heading(WizardPage::ErrorRetry), ui::text(126));
    EXPECT_EQ(m_host.description(WizardPage::ErrorRetry), ui::error_text(5));
    EXPECT_EQ(map_version_on(card), L"1.1.6.0");
}

struct BrokenUpdate {
    const char* name;
    const char* mapVersion;    // on the card before the first run
    const char* firstProfile;  // simulation profile of the run that breaks off
};

// Rows print as their names in test listings.
void PrintTo(const BrokenUpdate& row, std::ostream* out) {
    *out << row.name;
}

class WizardResume : public WizardFlow, public ::testing::WithParamInterface<BrokenUpdate> {};

TEST_P(WizardResume, AnUpdateThatBrokeOffIsOfferedAgainAndCompletedByTheNextRun) {
    const BrokenUpdate& row = GetParam();
    const fs::path card = create_phone("p", "SN-1", {}, row.mapVersion);
    write_simulation_profile(row.firstProfile);
    region_fault(2, "content-type:text/html");
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));
    press(ui::SIG_CANCEL_REQUEST);
    ASSERT_TRUE(wait_until_stopped());
    EXPECT_EQ(m_machine->outcome(), 9);
    // The card does not claim what it lacks.
    EXPECT_EQ(map_version_on(card), MapsService::to_wide(row.mapVersion));

    world().served().server().faults().clear();
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    m_machine.reset();
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::Complete));
    EXPECT_EQ(map_version_on(card), L"1.1.7.0");
    for (std::size_t i : {0, 2, 3}) {
        for (const std::string& tile : world().world.regions[i].tiles) {
            EXPECT_TRUE(fs::exists(card / "cities" / "diskcache" / tile.substr(0, 1) /
                                   tile.substr(1, 1) / (tile + ".cdt")))
                << tile;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, WizardResume,
    ::testing::Values(BrokenUpdate{"Update", "1.1.6.0", "UpdateVers=0.0.0.1\n"},
                      // The wizard wipes the card first, though it holds the server's version.
                      BrokenUpdate{"ForcedRedownload", "1.1.7.0",
                                   "MapsNeedUpdate=1\nUpdateVers=0.0.0.1\n"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace atlasync::testing
