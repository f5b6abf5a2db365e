// The real wizard driven with keys alone, its controls found the way a screen
// reader finds them: by accessible name and role.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "tests/e2e/facade_fixture.h"
#include "tests/gui/wizard_window_fixture.h"
#include "ui/wizard/string_table.h"

namespace atlasync::testing {
namespace {

namespace fs = std::filesystem;

QString name_of(QObject* object) {
    QAccessibleInterface* face = object ? QAccessible::queryAccessibleInterface(object) : nullptr;
    return face != nullptr ? face->text(QAccessible::Name) : QString();
}

// The visible control below the root with the name and role, as a screen reader
// walks the tree; null when there is none.
QAccessibleInterface* find_control(QWidget* root, const QString& name, QAccessible::Role role) {
    std::function<QAccessibleInterface*(QAccessibleInterface*)> walk =
        [&](QAccessibleInterface* node) -> QAccessibleInterface* {
        if (node == nullptr || node->state().invisible) {
            return nullptr;
        }
        if (node->role() == role && node->text(QAccessible::Name) == name) {
            return node;
        }
        for (int i = 0; i < node->childCount(); ++i) {
            if (QAccessibleInterface* found = walk(node->child(i))) {
                return found;
            }
        }
        return nullptr;
    };
    return walk(QAccessible::queryAccessibleInterface(root));
}

class Keyboard : public WizardWindow {
protected:
    // Keys reach the window the desktop made active.
    void start_active(const ui::WizardSettings& wizardSettings) {
        start_wizard(wizardSettings);
        m_dialog->activateWindow();
        ASSERT_TRUE(process_events_until([this] { return m_dialog->isActiveWindow(); }));
    }

    // The window the keys go to: a question on top, else the wizard.
    QWidget* active() const {
        QWidget* modal = QApplication::activeModalWidget();
        return modal != nullptr && modal->isVisible() ? modal : m_dialog.get();
    }
    QWidget* focused() const { return active()->focusWidget(); }

    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = focused();
        QTest::keyClick(target != nullptr ? target : active(), key, modifiers);
    }

    // The control must exist with its name and role, be reachable by Tab from
    // where the focus is, and take the focus; the number of Tabs it took.
    int tab_to(const QString& name, QAccessible::Role role) {
        QAccessibleInterface* control = find_control(active(), name, role);
        if (control == nullptr) {
            ADD_FAILURE() << "no control named '" << name.toStdString() << "'";
            return -1;
        }
        EXPECT_TRUE(control->state().focusable) << name.toStdString();
        for (int tabs = 0; tabs < 10; ++tabs) {
            if (focused() == control->object()) {
                EXPECT_TRUE(QAccessible::queryAccessibleInterface(focused())->state().focused);
                return tabs;
            }
            key(Qt::Key_Tab);
        }
        ADD_FAILURE() << "Tab never reached '" << name.toStdString() << "'; focus on '"
                      << name_of(focused()).toStdString() << "'";
        return -1;
    }

    // Keys for the question that the next key opens, typed from inside its
    // own event loop.
    void in_next_question(std::function<void()> keys) {
        // Goes with the window, should the question never come.
        auto* timer = new QTimer(m_dialog.get());
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, [this, timer, keys] {
            if (QApplication::activeModalWidget() == nullptr ||
                !QApplication::activeModalWidget()->isVisible()) {
                return;
            }
            timer->stop();
            timer->deleteLater();
            ++m_questions;
            keys();
        });
        timer->start();
    }

    int m_questions = 0;
};

const QString kCancel = QStringLiteral("Cancel");
const QString kDownload = QStringLiteral("Download");

TEST_F(Keyboard, TryAgainSearchesAgainAndEscapeEndsTheSearch) {
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    start_active(settings());
    ASSERT_TRUE(wait_for_shown(WizardPage::ErrorRetry));
    EXPECT_EQ(name_of(focused()), QStringLiteral("Try Again"));
    EXPECT_EQ(name_of(m_dialog->current_page()->window()), QStringLiteral("Error"));
    EXPECT_NE(
        find_control(m_dialog.get(), QString::fromStdWString(ui::text(ui::kTextNoPhoneHeading)),
                     QAccessible::StaticText),
        nullptr);
    // Tab runs left to right: "Try Again", then "Exit", and round again.
    EXPECT_EQ(tab_to(QStringLiteral("Exit"), QAccessible::Button), 1);
    ASSERT_EQ(tab_to(QStringLiteral("Try Again"), QAccessible::Button), 1);
    key(Qt::Key_Enter);
    ASSERT_TRUE(wait_for_shown(WizardPage::SearchingForPhones));
    EXPECT_EQ(name_of(focused()), kCancel);
    key(Qt::Key_Escape);
    ASSERT_TRUE(wait_until_ended());
    EXPECT_EQ(m_dialog->outcome(), 2);
}

// Enter on the focused "Cancel" of the offer started the download, and with it
// the deletion of the old maps.
TEST_F(Keyboard, EnterOnTheFocusedCancelOfTheOfferEndsWithTheDriveUntouched) {
    const fs::path card = create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    start_active(settings());
    ASSERT_TRUE(wait_for_shown(WizardPage::UpdateAvailable));
    const auto before = snapshot(card);
    ASSERT_EQ(tab_to(kCancel, QAccessible::Button), 1);
    key(Qt::Key_Return);
    ASSERT_TRUE(wait_until_ended());
    EXPECT_EQ(m_dialog->outcome(), 2);
    EXPECT_EQ(snapshot(card), before);
}

TEST_F(Keyboard, TheWholeDemoRunsOnKeysAloneWithEveryControlNamed) {
    create_phone("p", "SN-1");
    const fs::path chosen = create_phone("q", "SN-2");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    ui::WizardSettings wizardSettings = settings();
    wizardSettings.languagePage = true;
    start_active(wizardSettings);

    // The language page: the list has the focus, Tab reaches the marked default.
    ASSERT_TRUE(wait_for_shown(WizardPage::SelectLanguage));
    EXPECT_EQ(name_of(focused()), QString::fromStdWString(ui::text(ui::kTextLanguageListName)));
    ASSERT_EQ(tab_to(QStringLiteral("Continue"), QAccessible::Button), 1);
    EXPECT_TRUE(button(ui::kIdNext)->isDefault());
    key(Qt::Key_Return);

    // Two phones: the arrow picks the second, Enter takes it from the list.
    ASSERT_TRUE(wait_for_shown(WizardPage::SelectPhone));
    QAccessibleInterface* phones =
        find_control(m_dialog.get(), QString::fromStdWString(ui::text(ui::kTextPhoneListName)),
                     QAccessible::List);
    ASSERT_NE(phones, nullptr);
    ASSERT_TRUE(process_events_until([&] { return phones->childCount() == 2; }));
    EXPECT_EQ(focused(), phones->object());
    key(Qt::Key_Down);
    key(Qt::Key_Return);

    // The offer: Download has the focus, Tab runs left to right to Cancel.
    ASSERT_TRUE(wait_for_shown(WizardPage::UpdateAvailable));
    EXPECT_EQ(name_of(m_dialog->current_page()->window()), QStringLiteral("New updates available"));
    EXPECT_EQ(name_of(focused()), kDownload);
    EXPECT_EQ(tab_to(kCancel, QAccessible::Button), 1);
    ASSERT_EQ(tab_to(kDownload, QAccessible::Button), 1);
    key(Qt::Key_Space);
    ASSERT_TRUE(wait_for_shown(WizardPage::Download));
    QAccessibleInterface* bar =
        find_control(m_dialog.get(), QString::fromStdWString(ui::text(ui::kTextProgressName)),
                     QAccessible::ProgressBar);
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(bar->valueInterface(), nullptr);
    EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 1000);

    ASSERT_TRUE(wait_for_shown(WizardPage::Complete));
    EXPECT_EQ(name_of(focused()), QStringLiteral("Exit"));
    key(Qt::Key_Return);
    ASSERT_TRUE(wait_until_ended());
    EXPECT_EQ(map_version_on(chosen), L"1.1.7.0");
}

TEST_F(Keyboard, EscapeAsksAndEnterOnYesEndsOnThePageThatSaysTheMapsAreIncomplete) {
    const fs::path card = create_phone("p", "SN-1");
    write_simulation_profile("UpdateVers=0.0.0.1\n");
    region_fault(2, "hold");
    start_active(settings());
    ASSERT_TRUE(wait_for_shown(WizardPage::UpdateAvailable));
    key(Qt::Key_Return);
    ASSERT_TRUE(wait_for_shown(WizardPage::Download));
    ASSERT_TRUE(wait_until_held(1));

    in_next_question([this] {
        // "No" has the focus; Shift+Tab goes left to "Yes", and Enter takes it.
        EXPECT_EQ(name_of(focused()), QStringLiteral("No"));
        key(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(name_of(focused()), QStringLiteral("Yes"));
        key(Qt::Key_Return);
    });
    key(Qt::Key_Escape);
    ASSERT_TRUE(process_events_until([&] { return m_questions == 1; }));

    // The old maps were being replaced: the last page says so, read out with
    // its text, and Enter on its focused "Exit" ends the run.
    ASSERT_TRUE(wait_for_shown(WizardPage::ErrorExit));
    const QString incomplete = QString::fromStdWString(ui::text(ui::kTextMapsIncomplete));
    QAccessibleInterface* description = find_control(
        m_dialog.get(), name_of(m_dialog->current_page()->control<QWidget>(ui::kIdDescription)),
        QAccessible::StaticText);
    ASSERT_NE(description, nullptr);
    EXPECT_TRUE(description->text(QAccessible::Name).contains(incomplete))
        << description->text(QAccessible::Name).toStdString();
    EXPECT_EQ(name_of(focused()), QStringLiteral("Exit"));
    key(Qt::Key_Return);
    ASSERT_TRUE(wait_until_ended());
    EXPECT_EQ(m_dialog->outcome(), 2);
    EXPECT_EQ(map_version_on(card), L"1.1.6.0");
}

}  // namespace
}  // namespace atlasync::testing
