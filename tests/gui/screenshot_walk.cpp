// atlasync-screenshot-walk: runs the wizard and walks it through its pages by
// clicks, saving a picture of each page the first time it is shown. The
// phones, the map server and the simulation profile are the caller's
// (scripts/screenshots sets them up).
//
//   atlasync-screenshot-walk --out DIR --server-root ROOT [--profile FILE] [--language]
//                            [--try-again] [--dark] [--font-points N]
//
// --try-again answers the retry page with "Try Again" instead of "Exit".
// --dark draws the wizard as a dark desktop theme would; --font-points sets the
// desktop's font size (9 is the size the pages were drawn at).

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <map>

#include "ui/app/atlasync_app.h"
#include "ui/app/state_machine_dlg.h"
#include "ui/pages/splash_dlg.h"
#include "ui/pages/wiz_page.h"

namespace {

using namespace atlasync::ui;

const std::map<WizardPage, const char*> kPageNames = {
    {WizardPage::SelectLanguage, "select-language"},
    {WizardPage::SearchingForPhones, "searching-for-phones"},
    {WizardPage::SelectPhone, "select-phone"},
    {WizardPage::ErrorRetry, "error-retry"},
    {WizardPage::ErrorExit, "error-exit"},
    {WizardPage::CheckingForUpdates, "checking-for-updates"},
    {WizardPage::UpdateAvailable, "update-available"},
    {WizardPage::Download, "download"},
    {WizardPage::Installing, "installing"},
    {WizardPage::Complete, "complete"},
    {WizardPage::Shutdown, "shutdown"},
};

// Pages that wait for the user, and the button the walk presses there.
std::map<WizardPage, std::uint32_t> g_answers = {
    {WizardPage::SelectLanguage, kIdNext},
    {WizardPage::SelectPhone, kIdNext},
    {WizardPage::UpdateAvailable, kIdNext},
    {WizardPage::Complete, kIdNext},
    {WizardPage::ErrorExit, kIdNext},
    {WizardPage::ErrorRetry, kIdCancel},
    {WizardPage::SearchingForPhones, kIdCancel},
};

// How long after a page is shown its picture is taken again: the download
// page once its progress has moved, the others once the machine filled them.
constexpr int kProgressPause = 3000;
constexpr int kFillPause = 250;

struct Walk {
    QString out;
    CStateMachineDlg* dialog = nullptr;
    int saved = 0;
    int failed = 0;
    QSet<QString> m_mine;

    QString path(const char* name) const { return QStringLiteral("%1/%2.png").arg(out, name); }

    // Pictures of a page replace those of the same page from this run only.
    void save(QWidget& widget, const char* name) {
        const QString file = path(name);
        if (QFileInfo::exists(file) && !m_mine.contains(file)) {
            return;  // an earlier run showed this page already
        }
        if (widget.grab().save(file)) {
            if (!m_mine.contains(file)) {
                m_mine.insert(file);
                ++saved;
                std::printf("%s\n", qPrintable(file));
            }
        } else {
            std::fprintf(stderr, "atlasync-screenshot-walk: cannot write %s\n", qPrintable(file));
            ++failed;
        }
    }

    void on_page(WizardPage page) {
        const char* name = kPageNames.at(page);
        CWizPage* shown = dialog->current_page();
        QPointer<QWidget> window = shown->window();
        // Now, for pages that pass quickly; again once the machine has filled
        // the page (the phone list comes after the page) and its progress moved.
        save(*dialog, name);
        const int later = page == WizardPage::Download ? kProgressPause : kFillPause;
        QTimer::singleShot(later, dialog, [this, window, name] {
            if (window) {
                save(*dialog, name);
            }
        });
        const auto answer = g_answers.find(page);
        if (answer != g_answers.end()) {
            // A moment for the page to settle, as a user would take; the
            // search is given longer, so that a passing search goes on.
            QTimer::singleShot(
                page == WizardPage::SearchingForPhones ? 1500 : 300, dialog,
                [window, id = answer->second] {
                    if (window) {
                        if (auto* button = window->findChild<QPushButton*>(control_name(id))) {
                            button->click();
                        }
                    }
                });
        }
    }
};

// A dark desktop theme's colours, as a dark Fusion theme sets them.
QPalette dark_palette() {
    QPalette palette;
    const QColor window(0x2d, 0x2d, 0x30);
    const QColor text(0xe8, 0xe8, 0xe8);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::AlternateBase, QColor(0x3a, 0x3a, 0x3e));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Mid, QColor(0x5a, 0x5a, 0x60));
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x8e, 0xe8));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    return palette;
}

}  // namespace

int main(int argc, char** argv) {
    CAtlasyncApp app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    Walk walk;
    WizardSettings settings;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == QLatin1String("--out") && hasValue) {
            walk.out = args[++i];
        } else if (args[i] == QLatin1String("--server-root") && hasValue) {
            settings.serverRoot = args[++i].toStdString();
        } else if (args[i] == QLatin1String("--profile") && hasValue) {
            settings.simulationProfile = args[++i].toStdString();
        } else if (args[i] == QLatin1String("--language")) {
            settings.languagePage = true;
        } else if (args[i] == QLatin1String("--try-again")) {
            g_answers[WizardPage::ErrorRetry] = kIdRetry;
        } else if (args[i] == QLatin1String("--dark")) {
            QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
            QApplication::setPalette(dark_palette());
        } else if (args[i] == QLatin1String("--font-points") && hasValue &&
                   args[i + 1].toDouble() > 0) {
            QFont font = QApplication::font();
            font.setPointSizeF(args[++i].toDouble());
            QApplication::setFont(font);
        } else {
            std::fprintf(stderr,
                         "usage: atlasync-screenshot-walk --out DIR --server-root ROOT "
                         "[--profile FILE] [--language] [--try-again] [--dark] "
                         "[--font-points N]\n");
            return 1;
        }
    }
    if (walk.out.isEmpty() || !QDir().mkpath(walk.out)) {
        std::fprintf(stderr, "atlasync-screenshot-walk: no folder to write to\n");
        return 1;
    }
    const int outcome = app.run([&] {
        CStateMachineDlg dialog(settings);
        walk.dialog = &dialog;
        dialog.set_page_listener([&](WizardPage page, const std::wstring&) { walk.on_page(page); });
        // The splash, once its picture is on the screen.
        QTimer::singleShot(300, &dialog, [&] {
            if (dialog.splash() != nullptr) {
                walk.save(*dialog.splash(), "splash");
            }
        });
        return dialog.DoModal();
    });
    std::printf("outcome %d, %d pictures\n", outcome, walk.saved);
    return walk.failed == 0 ? 0 : 1;
}
