// atlasync-page-gallery: shows every page of the wizard's window with the texts
// the wizard puts there and saves one PNG per page (and the splash) into a
// folder. Run on a display (or under Xvfb) to see the window as users do.

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

#include "ui/app/main_dlg.h"
#include "ui/controls/bundled_fonts.h"
#include "ui/controls/skin.h"
#include "ui/pages/splash_dlg.h"
#include "ui/wizard/string_table.h"

namespace {

using namespace atlasync::ui;

struct Shot {
    WizardPage page;
    const char* name;
    std::wstring header;
};

// The texts of one update as the wizard writes them.
void fill_texts(CMainDlg& dialog) {
    dialog.set_languages({0x0407, 0x040c, 0x0410});
    dialog.preselect_language(1033);
    dialog.set_phone_list({{1, L"Velka X7"}, {2, L"Velka Z2"}});
    dialog.set_phone_text(format_text(text(106), {L"Velka X7"}));
    dialog.set_heading(WizardPage::ErrorRetry, text(104));
    dialog.set_description(WizardPage::ErrorRetry, text(105));
    dialog.set_heading(WizardPage::ErrorExit, text(126));
    dialog.set_description(WizardPage::ErrorExit, format_text(text(116), {L"9"}));
    dialog.set_heading(WizardPage::UpdateAvailable, text(129));
    dialog.set_description(WizardPage::UpdateAvailable,
                           format_text(text(130), {L"1.2.0.0 | 84.2 MB"}));
    dialog.set_download_text(format_text(text(kTextDownloadedOfTotal), {L"12.4", L"84.2"}) +
                             format_text(text(kTextEstimatedMinutes), {L"2"}));
    dialog.set_download_progress(14.7);
    dialog.set_installing_text(text(139));
    dialog.set_heading(WizardPage::Complete, text(125));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: atlasync-page-gallery TUTORIAL_GIF OUTPUT_FOLDER\n");
        return 1;
    }
    const QString out = args[2];
    QDir().mkpath(out);
    register_bundled_fonts();
    CSkin skin(application);

    CMainDlg dialog;
    dialog.load_tutorial_picture(args[1].toStdString());
    fill_texts(dialog);
    dialog.open_main_window();

    const std::vector<Shot> shots = {
        {WizardPage::SelectLanguage, "select-language", {}},
        {WizardPage::SearchingForPhones, "searching-for-phones", {}},
        {WizardPage::SelectPhone, "select-phone", {}},
        {WizardPage::CheckingForUpdates, "checking-for-updates", {}},
        {WizardPage::UpdateAvailable, "update-available", {}},
        {WizardPage::Download, "download", text(128)},
        {WizardPage::Installing, "installing", text(137)},
        {WizardPage::Complete, "complete", {}},
        {WizardPage::ErrorRetry, "error-retry", {}},
        {WizardPage::ErrorExit, "error-exit", {}},
        {WizardPage::Shutdown, "shutdown", {}},
    };
    // Lets the window paint and its animations run for a while.
    auto pause = [](int milliseconds) {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    };
    int failures = 0;
    auto save = [&](QWidget& widget, const QString& name) {
        const QString path = QStringLiteral("%1/%2.png").arg(out, name);
        if (!widget.grab().save(path)) {
            std::fprintf(stderr, "atlasync-page-gallery: cannot write %s\n", qPrintable(path));
            ++failures;
        }
    };
    for (std::size_t i = 0; i < shots.size(); ++i) {
        dialog.show_page(shots[i].page, shots[i].header);
        // Long enough for the animations to show a frame other than the first.
        pause(400);
        save(dialog,
             QStringLiteral("%1-%2").arg(i + 1, 2, 10, QLatin1Char('0')).arg(shots[i].name));
    }
    dialog.show_splash();
    pause(200);
    save(*dialog.splash(), QStringLiteral("00-splash"));
    return failures == 0 ? 0 : 1;
}
