#pragma once

// The real wizard in its window on the flow tests' world and farm: pages are
// recorded as they are shown, and the test waits for them.

#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "tests/gui/gui_test_support.h"
#include "tests/ui/qt_test_support.h"
#include "tests/ui/wizard_flow_fixture.h"
#include "ui/app/state_machine_dlg.h"
#include "ui/controls/markup_label.h"
#include "ui/pages/wiz_page.h"

namespace atlasync::testing {

using ui::WizardPage;

class WizardWindow : public WizardFlow {
protected:
    struct Shown {
        WizardPage page;
        std::wstring header;
        bool previousDestroyed;  // the window of the page shown before is gone
        bool iconShown;
    };

    WizardWindow() { gui_application(); }

    void TearDown() override {
        m_dialog.reset();
        WizardFlow::TearDown();
    }

    ui::CStateMachineDlg& make_wizard(const ui::WizardSettings& wizardSettings) {
        m_dialog = std::make_unique<ui::CStateMachineDlg>(wizardSettings);
        m_dialog->set_page_listener([this](WizardPage page, const std::wstring& header) {
            const bool destroyed = m_lastWindow.isNull();
            m_lastWindow = m_dialog->current_page()->window();
            m_shown.push_back({page, header, destroyed, m_dialog->header_picture().isVisible()});
            if (onPage) {
                // After the page's show has returned, as a user's click would come.
                QTimer::singleShot(0, m_dialog.get(), [this, page] { onPage(page); });
            }
        });
        return *m_dialog;
    }

    // Splash (kept short), main window, then the flow runs while the test waits.
    void start_wizard(const ui::WizardSettings& wizardSettings) {
        ui::CStateMachineDlg& dialog = make_wizard(wizardSettings);
        dialog.start();
        ASSERT_TRUE(process_events_until([&] { return dialog.splash_finished(); }));
        dialog.open_main_window();
        dialog.main_window_ready();
    }

    [[nodiscard]] bool wait_for_shown(WizardPage page) {
        const bool shown = process_events_until(
            [&] {
                for (std::size_t i = m_seen; i < m_shown.size(); ++i) {
                    if (m_shown[i].page == page) {
                        m_seen = i + 1;
                        return true;
                    }
                }
                return false;
            },
            std::chrono::seconds(30));
        if (!shown) {
            ADD_FAILURE() << "page " << static_cast<int>(page) << " not shown";
        }
        return shown;
    }

    [[nodiscard]] bool wait_until_ended() {
        return process_events_until([&] { return m_dialog->stopped(); }, std::chrono::seconds(30));
    }

    WizardPage current() const {
        const ui::CWizPage* page = m_dialog->current_page();
        return page != nullptr ? page->kind() : WizardPage::Shutdown;
    }

    // Escape asks; inside the question's own event loop the held download is
    // let go, and "Yes" is clicked once `ready` holds beneath the question.
    // False when that never came: the question is then answered "No", as a
    // question left open would keep its loop running past any deadline.
    bool yes_once_beneath_the_question(const std::function<bool()>& ready) {
        bool released = false;
        bool answered = false;
        const QDeadlineTimer deadline(std::chrono::seconds(30));
        QTimer whileAsked;
        QObject::connect(&whileAsked, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) {
                return;
            }
            if (!released) {
                released = true;
                release_held();
            } else if (ready()) {
                whileAsked.stop();
                answered = true;
                click_modal_button(modal, QStringLiteral("1021"));
            } else if (deadline.hasExpired()) {
                whileAsked.stop();
                ADD_FAILURE() << "beneath the question the run stayed on page "
                              << static_cast<int>(current()) << "; its trace:\n"
                              << read_file(m_tmp.path() / "work" / "trace.log");
                click_modal_button(modal, QStringLiteral("1020"));
            }
        });
        whileAsked.start(10);
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        return process_events_until([&] { return answered; });
    }

    QPushButton* button(std::uint32_t id) const {
        return m_dialog->current_page()->control<QPushButton>(id);
    }
    void click(std::uint32_t id) {
        QPushButton* target = button(id);
        ASSERT_NE(target, nullptr) << "no button " << id;
        QTest::mouseClick(target, Qt::LeftButton);
    }
    std::wstring label(std::uint32_t id) const {
        auto* control = m_dialog->current_page()->control<ui::CMarkupLabel>(id);
        return control != nullptr ? control->markup() : L"<no label>";
    }
    std::vector<WizardPage> pages_shown() const {
        std::vector<WizardPage> pages;
        for (const Shown& shown : m_shown) {
            pages.push_back(shown.page);
        }
        return pages;
    }

    std::unique_ptr<ui::CStateMachineDlg> m_dialog;
    std::vector<Shown> m_shown;
    std::size_t m_seen = 0;
    std::function<void(WizardPage)> onPage;
    QPointer<QWidget> m_lastWindow;
};

}  // namespace atlasync::testing
