// The wizard's run and its options: the maps-application update, the
// single-instance guard, the language page, the volumes and the server root.

#include <gtest/gtest.h>

#include <QSettings>
#include <QTimer>
#include <algorithm>

#include "service/core/shared_mem.h"
#include "service/core/text.h"
#include "service/facade/maps_service.h"
#include "tests/ui/qt_test_support.h"
#include "tests/ui/wizard_flow_fixture.h"
#include "ui/wizard/error_table.h"
#include "ui/wizard/string_table.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::testing {
namespace {

using ui::WizardPage;

// The pages shown with their headers, in order.
std::vector<std::pair<WizardPage, std::wstring>> pages_with_headers(const RecordingHost& host) {
    std::vector<std::pair<WizardPage, std::wstring>> result;
    for (const RecordingHost::Call& call : host.calls_named("show_page")) {
        result.emplace_back(call.page, call.text);
    }
    return result;
}

class WizardAppUpdate : public WizardFlow,
                        public ::testing::WithParamInterface<bool /* maps need update */> {};

TEST_P(WizardAppUpdate, AMapsApplicationUpdateSelectsTheDriveAgainAndGoesStraightOn) {
    const bool mapsNeedUpdate = GetParam();
    // The phone waits after asking the user, as one does: the installing page comes first.
    create_phone("p", "SN-1", {"--user-action", "--step-ms", "100"});
    write_simulation_profile(std::string("UpdateVers=99.0.0.0\n") +
                             (mapsNeedUpdate ? "" : "MapsNeedUpdate=0\n"));
    start_machine();
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    // The maps application's own title, not the map-data heading.
    EXPECT_FALSE(m_host.heading(WizardPage::UpdateAvailable).empty());
    EXPECT_NE(m_host.heading(WizardPage::UpdateAvailable), ui::text(129));
    EXPECT_NE(m_host.description(WizardPage::UpdateAvailable).find(L" MB"), std::wstring::npos);
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::Download));
    ASSERT_TRUE(wait_for_page(WizardPage::CheckingForUpdates));
    ASSERT_TRUE(wait_for_page(WizardPage::Complete));
    EXPECT_EQ(m_host.heading(WizardPage::Complete), ui::text(125));

    const auto shown = pages_with_headers(m_host);
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(),
                            [](const auto& p) { return p.first == WizardPage::UpdateAvailable; }),
              1);
    const bool mapDataUpdated = std::find(shown.begin(), shown.end(),
                                          std::pair<WizardPage, std::wstring>(
                                              WizardPage::Download, ui::text(128))) != shown.end();
    EXPECT_EQ(mapDataUpdated, mapsNeedUpdate);
    // The phone's call for the user brings the installing page up.
    EXPECT_TRUE(m_host.was_shown(WizardPage::Installing));
    const auto installing = m_host.calls_named("set_installing_text");
    ASSERT_EQ(installing.size(), 1u);
    EXPECT_EQ(installing[0].text, ui::text(138));
}

INSTANTIATE_TEST_SUITE_P(MapsNeedUpdateOrNot, WizardAppUpdate, ::testing::Bool());

TEST_F(WizardFlow, AnotherInstanceAndNoRetryEndsTheRunWithTwoShowingNothing) {
    const ui::WizardSettings wizardSettings = settings();
    MapsService::CSharedMem other(wizardSettings.instanceGuardName);
    ASSERT_EQ(other.increment(), 1);
    m_machine = std::make_unique<ui::CStateMachine>(&m_host, wizardSettings);
    EXPECT_EQ(m_machine->run(), 2);
    ASSERT_EQ(m_host.calls().size(), 1u);
    EXPECT_EQ(m_host.calls()[0].name, "retry_after_other_instance");
}

TEST_F(WizardFlow, RetryAfterTheOtherInstanceEndedLetsTheRunStart) {
    const ui::WizardSettings wizardSettings = settings();
    auto other = std::make_unique<MapsService::CSharedMem>(wizardSettings.instanceGuardName);
    ASSERT_EQ(other->increment(), 1);
    m_host.otherInstanceRetries = 1;
    m_host.onOtherInstance = [&] { other.reset(); };
    m_host.onPage = [this](WizardPage page) {
        if (page == WizardPage::ErrorRetry) {
            QTimer::singleShot(0, [this] { press(ui::SIG_CANCEL_REQUEST); });
        }
    };
    m_machine = std::make_unique<ui::CStateMachine>(&m_host, wizardSettings);
    // Left from the no-phone page: the run ends as the service answers a missing drive.
    EXPECT_EQ(m_machine->run(), MapsService::kResultInvalidDrive);
    EXPECT_EQ(m_host.calls_named("retry_after_other_instance").size(), 1u);
    EXPECT_EQ(m_host.heading(WizardPage::ErrorRetry), ui::text(104));
    EXPECT_EQ(m_host.end_result(), 2);
    // The guard was released at the end of the run.
    MapsService::CSharedMem next(wizardSettings.instanceGuardName);
    EXPECT_EQ(next.increment(), 1);
}

TEST_F(WizardFlow, TheLanguageOptionShowsTheLanguagePageBeforeTheSearch) {
    ui::WizardSettings wizardSettings = settings();
    wizardSettings.languagePage = true;
    m_host.chosenLanguage = 0x0407;  // no module for it here: nothing switches
    start_machine(wizardSettings);
    ASSERT_TRUE(wait_for_page(WizardPage::SelectLanguage));
    EXPECT_EQ(m_host.calls_named("preselect_language").size(), 1u);
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::ErrorRetry));
    EXPECT_EQ(m_host.heading(WizardPage::ErrorRetry), ui::text(104));
    const QSettings profile(QStringLiteral("Velka"), QStringLiteral("Atlasync"));
    EXPECT_FALSE(profile.contains(QStringLiteral("Settings/Locale")));
}

TEST_F(WizardFlow, ALanguageRequestDuringTheSplashEndsItAndLeadsToTheLanguagePage) {
    ui::WizardSettings wizardSettings = settings();
    wizardSettings.splashTime = std::chrono::minutes(5);
    m_machine = std::make_unique<ui::CStateMachine>(&m_host, wizardSettings);
    m_machine->start();
    EXPECT_FALSE(m_machine->splash_finished());
    m_machine->request_language();
    EXPECT_TRUE(m_machine->splash_finished());
    m_machine->main_window_ready();
    ASSERT_TRUE(wait_for_page(WizardPage::SelectLanguage));
    // Once the splash is over the request means nothing.
    m_machine->request_language();
    EXPECT_EQ(m_host.current_page(), WizardPage::SelectLanguage);
}

// A folder named with --volume holds a maps drive but no phone that installs
// applications: the wizard ended on "No supported phone connected!".
TEST_F(WizardFlow, AFolderNamedWithVolumeIsUpdatedByItselfAndIsCurrentOnTheNextRun) {
    const std::filesystem::path volume = m_tmp.path() / "volume";
    write_card(volume, "1.1.6.0");
    const std::filesystem::path fresh = fresh_drive();
    ui::WizardSettings wizardSettings = settings();
    wizardSettings.volumes = {volume};
    start_machine(wizardSettings);
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    EXPECT_EQ(m_host.heading(WizardPage::UpdateAvailable), ui::text(129));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_for_page(WizardPage::Complete));
    EXPECT_EQ(m_host.heading(WizardPage::Complete), ui::text(125));
    press(ui::SIG_NEXT);
    ASSERT_TRUE(wait_until_stopped());
    EXPECT_EQ(m_machine->outcome(), 0);
    const auto states = state_trace();
    EXPECT_EQ(std::count(states.begin(), states.end(), "Enter CStateMachine::StGetMapsAppVersions"),
              0);
    EXPECT_EQ(differences(volume, fresh), "");
    EXPECT_EQ(map_version_on(volume), L"1.1.7.0");

    m_machine.reset();
    start_machine(wizardSettings);
    ASSERT_TRUE(wait_for_page(WizardPage::Complete));
    EXPECT_EQ(m_host.heading(WizardPage::Complete), ui::text(127));
    EXPECT_EQ(differences(volume, fresh), "");
}

TEST_F(WizardFlow, TheServerRootOfTheSimulationProfileIsUsedWhenNoneIsGiven) {
    create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\nServerRoot=localhost:" +
                             std::to_string(world().served().port()) + "\n");
    ASSERT_EQ(MapsService::set_server_root(L"unreachable.invalid"), MapsService::kResultOk);
    ui::WizardSettings wizardSettings = settings();
    wizardSettings.serverRoot.clear();
    start_machine(wizardSettings);
    ASSERT_TRUE(wait_for_page(WizardPage::UpdateAvailable));
    EXPECT_EQ(m_host.heading(WizardPage::UpdateAvailable), ui::text(129));
    EXPECT_TRUE(m_machine->maps_need_update());
}

}  // namespace
}  // namespace atlasync::testing
