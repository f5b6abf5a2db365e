// The real wizard in its window: the state machine, its worker thread and the
// service against the map server and simulated phones, driven by clicks.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "service/content/map_settings.h"
#include "service/core/shared_mem.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "tests/gui/gui_test_support.h"
#include "tests/gui/wizard_window_fixture.h"
#include "tests/ui/qt_test_support.h"
#include "tests/ui/wizard_flow_fixture.h"
#include "ui/app/state_machine_dlg.h"
#include "ui/controls/markup_label.h"
#include "ui/pages/pages.h"
#include "ui/pages/wiz_page.h"
#include "ui/wizard/error_table.h"
#include "ui/wizard/string_table.h"

namespace atlasync::testing {
namespace {

namespace fs = std::filesystem;
using ui::WizardPage;

TEST_F(WizardWindow, ACompleteUpdateByClicksReplacesEachPageAndHeadsItWithItsCaptionOrGivenText) {
    const fs::path card = create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    ui::CStateMachineDlg& dialog = make_wizard(settings());
    std::wstring phoneText;
    std::wstring completeHeading;
    onPage = [&](WizardPage page) {
        if (current() != page) {
            return;
        }
        if (page == WizardPage::CheckingForUpdates) {
            phoneText = label(1014);
        } else if (page == WizardPage::UpdateAvailable) {
            click(ui::kIdNext);  // "Download"
        } else if (page == WizardPage::Complete) {
            completeHeading = label(ui::kIdHeading);
            click(ui::kIdNext);  // "Exit"
        }
    };
    EXPECT_EQ(dialog.DoModal(), 0);

    std::vector<WizardPage> pages = pages_shown();
    std::erase(pages, WizardPage::SearchingForPhones);
    EXPECT_EQ(pages, (std::vector<WizardPage>{WizardPage::CheckingForUpdates,
                                              WizardPage::UpdateAvailable, WizardPage::Download,
                                              WizardPage::Complete, WizardPage::Shutdown}));
    for (const Shown& shown : m_shown) {
        EXPECT_TRUE(shown.previousDestroyed) << static_cast<int>(shown.page);
        const std::wstring caption = dialog.page(shown.page).caption();
        if (shown.page == WizardPage::Download) {
            EXPECT_EQ(shown.header, L"Updating Map Data");
        } else {
            EXPECT_EQ(shown.header, caption) << static_cast<int>(shown.page);
        }
        EXPECT_EQ(shown.iconShown, shown.page == WizardPage::Complete);
    }
    // Texts the machine set before their pages were shown were on them.
    EXPECT_EQ(phoneText, ui::format_text(ui::text(106), {L"p"}));
    EXPECT_EQ(completeHeading, L"Update was successful!");
    EXPECT_EQ(map_version_on(card), L"1.1.7.0");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.run_result(), 2);
}

TEST_F(WizardWindow, NoPhoneShowsTheRetryPageWithItsIconAndAPluggedPhoneMovesOn) {
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    start_wizard(settings());
    ASSERT_TRUE(wait_for_shown(WizardPage::ErrorRetry));
    EXPECT_EQ(label(ui::kIdHeading), L"No supported phone connected!");
    EXPECT_EQ(label(ui::kIdDescription), ui::text(105));
    EXPECT_TRUE(m_dialog->header_picture().isVisible());
    EXPECT_NE(button(ui::kIdRetry), nullptr);
    EXPECT_EQ(button(ui::kIdCancel)->text(), QStringLiteral("Exit"));

    create_phone("p", "SN-1");
    ASSERT_TRUE(wait_for_shown(WizardPage::UpdateAvailable));
    EXPECT_FALSE(m_dialog->header_picture().isVisible());
    EXPECT_EQ(label(ui::kIdHeading), ui::text(129));
    // Outside an update, "Cancel" stops at once.
    click(ui::kIdCancel);
    ASSERT_TRUE(wait_until_ended());
    EXPECT_EQ(m_dialog->outcome(), 2);
}

// Each kind of item failing once: Try Again brings the card to the new
// version whole, the items that had arrived included.
class WindowTryAgain : public WizardWindow, public ::testing::WithParamInterface<FailsOnce> {};

TEST_P(WindowTryAgain, OnTheRetryPageEndsCompleteOnlyWithTheWholeNewDriveOnTheCard) {
    const fs::path card = create_phone("p", "SN-1");
    const fs::path fresh = fresh_drive();
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    fail_once(GetParam());
    start_wizard(settings());
    ASSERT_TRUE(wait_for_shown(WizardPage::UpdateAvailable));
    click(ui::kIdNext);
    ASSERT_TRUE(wait_for_shown(WizardPage::ErrorRetry));
    EXPECT_EQ(label(ui::kIdHeading), ui::text(126));
    // The code's text, the server's doing on a Details line, the maps' state.
    const std::wstring description = label(ui::kIdDescription);
    EXPECT_EQ(description.rfind(ui::error_text(9) + L"<br>" +
                                    ui::format_text(ui::text(ui::kTextErrorDetails), {L""}),
                                0),
              0u)
        << MapsService::to_narrow(description);
    EXPECT_TRUE(description.ends_with(with_incomplete_note(L"")))
        << MapsService::to_narrow(description);
    click(ui::kIdRetry);
    ASSERT_TRUE(wait_for_shown(WizardPage::Download));
    ASSERT_TRUE(wait_for_shown(WizardPage::Complete));
    click(ui::kIdNext);
    ASSERT_TRUE(wait_until_ended());
    EXPECT_EQ(m_dialog->outcome(), 0);
    EXPECT_EQ(differences(card, fresh), "");
    EXPECT_EQ(map_version_on(card), L"1.1.7.0");
}

INSTANTIATE_TEST_SUITE_P(EachKindOfItem, WindowTryAgain, ::testing::ValuesIn(kFailsOnce),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(WizardWindow, AFailedApplicationInstallShowsInstallingThenTheExitPageAndEndsWithItsCode) {
    // The phone asks the user to act, then refuses the installer: code 108.
    create_phone("p", "SN-1",
                 {"--user-action", "--install-status", "0x80100023", "--step-ms", "100"});
    write_simulation_profile("UpdateVers=99.0.0.0\n");
    start_wizard(settings());
    ASSERT_TRUE(wait_for_shown(WizardPage::UpdateAvailable));
    EXPECT_NE(label(ui::kIdHeading), ui::text(129));
    click(ui::kIdNext);
    ASSERT_TRUE(wait_for_shown(WizardPage::ErrorExit));
    const auto installing = std::find_if(m_shown.begin(), m_shown.end(), [](const Shown& shown) {
        return shown.page == WizardPage::Installing;
    });
    ASSERT_NE(installing, m_shown.end());
    EXPECT_EQ(m_shown.back().page, WizardPage::ErrorExit);
    EXPECT_EQ(static_cast<ui::CInstallingPage&>(m_dialog->page(WizardPage::Installing)).text(),
              ui::text(138));
    EXPECT_EQ(label(ui::kIdHeading), ui::text(136));
    EXPECT_EQ(label(ui::kIdDescription), ui::error_text(108));
    EXPECT_TRUE(m_dialog->header_picture().isVisible());
    EXPECT_EQ(button(ui::kIdRetry), nullptr);
    EXPECT_EQ(button(ui::kIdCancel), nullptr);
    click(ui::kIdNext);  // "Exit"
    ASSERT_TRUE(wait_until_ended());
    EXPECT_EQ(m_dialog->outcome(), 108);
}

// Yes closed the window over a card whose old maps were gone, and the user
// never learnt it.
TEST_F(WizardWindow, EscapeOrClosingDuringTheDownloadAsksAndOnlyYesEndsTheWizardAfterTheMapsNote) {
    const fs::path card = create_phone("p", "SN-1");
    ASSERT_GT(tiles_on(card, 2), 0u);
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    region_fault(2, "hold");
    start_wizard(settings());
    ASSERT_TRUE(wait_for_shown(WizardPage::UpdateAvailable));
    click(ui::kIdNext);
    ASSERT_TRUE(wait_for_shown(WizardPage::Download));
    ASSERT_TRUE(wait_until_held(1));  // the old maps are gone: the download has begun

    int answers = 0;
    answer_next_modal(QStringLiteral("1020"), &answers);  // "No"
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    ASSERT_TRUE(process_events_until([&] { return answers == 1; }));
    EXPECT_FALSE(m_dialog->stopped());
    EXPECT_TRUE(m_dialog->isVisible());

    answer_next_modal(QString(), &answers);  // closed without an answer: no
    EXPECT_FALSE(m_dialog->close());
    ASSERT_TRUE(process_events_until([&] { return answers == 2; }));
    EXPECT_FALSE(m_dialog->stopped());
    EXPECT_EQ(current(), WizardPage::Download);

    answer_next_modal(QStringLiteral("1021"));  // "Yes"
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    ASSERT_TRUE(wait_for_shown(WizardPage::ErrorExit));
    EXPECT_EQ(label(ui::kIdDescription), with_incomplete_note(ui::error_text(2)));
    EXPECT_TRUE(m_dialog->isVisible());
    click(ui::kIdNext);  // "Exit"
    ASSERT_TRUE(wait_until_ended());
    EXPECT_EQ(m_dialog->outcome(), 2);
    EXPECT_FALSE(m_dialog->isVisible());
    expect_incomplete(card);
}

// "Yes" after the update had finished beneath the question ended the wizard as
// cancelled over a complete update.
TEST_F(WizardWindow, YesAfterTheUpdateFinishedBeneathTheQuestionClosesWithItsSuccess) {
    const fs::path card = create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    region_fault(2, "hold");
    start_wizard(settings());
    ASSERT_TRUE(wait_for_shown(WizardPage::UpdateAvailable));
    click(ui::kIdNext);
    ASSERT_TRUE(wait_until_held(1));

    ASSERT_TRUE(
        yes_once_beneath_the_question([this] { return current() == WizardPage::Complete; }));
    ASSERT_TRUE(wait_until_ended());
    EXPECT_EQ(m_dialog->outcome(), 0);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(map_version_on(card), L"1.1.7.0");
}

// The update failed beneath the question after the old maps went: "Yes" closed
// the window over the page that says the maps are incomplete.
TEST_F(WizardWindow,
       YesAfterTheUpdateFailedBeneathTheQuestionKeepsThePageThatSaysTheMapsAreIncomplete) {
    const fs::path card = create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    region_fault(2, "hold");
    region_fault(3, "status:404");
    start_wizard(settings());
    ASSERT_TRUE(wait_for_shown(WizardPage::UpdateAvailable));
    click(ui::kIdNext);
    ASSERT_TRUE(wait_until_held(1));

    const auto on_error_page = [this] {
        return current() == WizardPage::ErrorRetry || current() == WizardPage::ErrorExit;
    };
    ASSERT_TRUE(yes_once_beneath_the_question(on_error_page));
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_dialog->stopped());
    ASSERT_TRUE(on_error_page());
    EXPECT_NE(label(ui::kIdDescription).find(ui::text(ui::kTextMapsIncomplete)), std::wstring::npos)
        << MapsService::to_narrow(label(ui::kIdDescription));
    click(current() == WizardPage::ErrorRetry ? ui::kIdCancel : ui::kIdNext);
    ASSERT_TRUE(wait_until_ended());
    EXPECT_NE(m_dialog->outcome(), 0);
    EXPECT_EQ(map_version_on(card), L"1.1.6.0");
}

TEST_F(WizardWindow, PhoneListKeepsTheChosenPhoneWhenAnotherIsPluggedIn) {
    create_phone("p", "SN-1");
    create_phone("q", "SN-2");
    start_wizard(settings());
    ASSERT_TRUE(wait_for_shown(WizardPage::SelectPhone));
    auto* list = m_dialog->current_page()->control<QListWidget>(1017);
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(process_events_until([&] { return list->count() == 2; }));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    const QString chosen = list->item(1)->text();

    create_phone("r", "SN-3");
    ASSERT_TRUE(process_events_until([&] { return list->count() == 3; }));
    EXPECT_EQ(list->currentItem()->text(), chosen);
    click(ui::kIdNext);
    ASSERT_TRUE(wait_for_shown(WizardPage::CheckingForUpdates));
    EXPECT_EQ(label(1014), ui::format_text(ui::text(106), {chosen.toStdWString()}));
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    ASSERT_TRUE(wait_until_ended());
}

TEST_F(WizardWindow, ASecondCopyAsksWhileTheFirstRunsAndRetryAfterItEndedStarts) {
    const ui::WizardSettings wizardSettings = settings();
    auto first = std::make_unique<MapsService::CSharedMem>(wizardSettings.instanceGuardName);
    ASSERT_EQ(first->increment(), 1);
    ui::CStateMachineDlg& dialog = make_wizard(wizardSettings);

    int prompts = 0;
    QString prompt;
    // Reads the prompt, lets the first copy end, then presses "Retry".
    auto* watcher = new QTimer(&dialog);
    watcher->setInterval(10);
    QObject::connect(watcher, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        ++prompts;
        prompt = box->text();
        first.reset();
        box->button(QMessageBox::Retry)->click();
    });
    watcher->start();
    onPage = [&](WizardPage page) {
        if (page == WizardPage::ErrorRetry && current() == page) {
            watcher->stop();
            click(ui::kIdCancel);
        }
    };
    EXPECT_EQ(dialog.DoModal(), MapsService::kResultInvalidDrive);  // left from the no-phone page
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(prompt.toStdWString(), ui::text(ui::kTextAnotherInstance));
    const auto pages = pages_shown();
    EXPECT_NE(std::find(pages.begin(), pages.end(), WizardPage::ErrorRetry), pages.end());
}

// A guard that could not be made threw out of the run and aborted the program.
TEST_F(WizardWindow, AGuardThatCannotBeMadeIsReportedInABoxAndTheRunEndsWithOne) {
    const ui::WizardSettings wizardSettings = settings();
    // A block of the guard's name that is not the program's: too small to be one.
    const std::string mapping =
        MapsService::CSharedMem::object_name(wizardSettings.instanceGuardName, "^mf");
    const int fd = ::shm_open(mapping.c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 3), 0);
    ::close(fd);
    ui::CStateMachineDlg& dialog = make_wizard(wizardSettings);
    QString reported;
    auto* watcher = new QTimer(&dialog);
    watcher->setInterval(10);
    QObject::connect(watcher, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->isVisible() && box->objectName() == "startFailure") {
            reported = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    watcher->start();
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_TRUE(
        reported.endsWith(QString::fromStdString(mapping + ": not a block of this program")))
        << reported.toStdString();
    EXPECT_TRUE(pages_shown().empty());
}

}  // namespace
}  // namespace atlasync::testing
