#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/gui/gui_test_support.h"
#include "ui/app/main_dlg.h"
#include "ui/controls/bundled_fonts.h"
#include "ui/controls/markup_label.h"
#include "ui/controls/skin.h"
#include "ui/messaging/ui_language_manager.h"
#include "ui/pages/about_dlg.h"
#include "ui/pages/confirm_cancel_dlg.h"
#include "ui/pages/splash_dlg.h"
#include "ui/pages/version_info.h"
#include "ui/wizard/string_table.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::ui {
namespace {

using testing::answer_next_modal;
using testing::gui_application;

TEST(ConfirmCancel, YesConfirmsAndNoOrClosingDoesNot) {
    gui_application();
    CMainDlg dialog;
    answer_next_modal(QStringLiteral("1021"));
    EXPECT_TRUE(dialog.confirm_cancel());
    answer_next_modal(QStringLiteral("1020"));
    EXPECT_FALSE(dialog.confirm_cancel());
    answer_next_modal(QString());
    EXPECT_FALSE(dialog.confirm_cancel());

    CConfirmCancelDlg confirm;
    EXPECT_EQ(confirm.windowTitle(), QStringLiteral("Atlasync"));
    auto* question = confirm.findChild<CMarkupLabel*>(QStringLiteral("1019"));
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->markup(), text(dialog_text_id(147, 1019)));
    confirm.show();
    confirm.close();
    EXPECT_EQ(confirm.result(), CConfirmCancelDlg::kClosed);
}

TEST(QtTexts, StandardButtonsOfQtsDialogsFollowTheLanguageInUse) {
    gui_application();
    const auto cancel = [] {
        const QDialogButtonBox box(QDialogButtonBox::Cancel);
        return box.button(QDialogButtonBox::Cancel)->text();
    };
    EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
    {
        CUILanguageManager languages({ATLASYNC_TEST_LANGUAGES, ATLASYNC_LANGUAGES_DIR});
        ASSERT_TRUE(languages.switch_language(0x0407));
        EXPECT_EQ(cancel(), QStringLiteral("Abbrechen"));
        ASSERT_TRUE(languages.switch_language(0x040c));
        EXPECT_EQ(cancel(), QStringLiteral("Annuler"));
        ASSERT_TRUE(languages.switch_language(0x0409));
        EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
        ASSERT_TRUE(languages.switch_language(0x0c0a));
        EXPECT_EQ(cancel(), QStringLiteral("Cancelar"));
    }
    // The manager's end takes Qt's translation with it.
    EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
}

TEST(OtherInstance, PromptShowsTheTextWithRetryAndCancel) {
    gui_application();
    CMainDlg dialog;
    QString shown;
    QString caption;
    // Reads the box while it is open, then answers it.
    auto* reader = new QTimer;
    reader->setInterval(5);
    QObject::connect(reader, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            caption = box->windowTitle();
            reader->stop();
            reader->deleteLater();
        }
    });
    reader->start();
    answer_next_modal(QStringLiteral("Retry"));
    EXPECT_TRUE(dialog.retry_after_other_instance());
    EXPECT_EQ(shown, QString::fromStdWString(text(kTextAnotherInstance)));
    EXPECT_EQ(caption, QStringLiteral("Atlasync"));
    answer_next_modal(QStringLiteral("Cancel"));
    EXPECT_FALSE(dialog.retry_after_other_instance());
}

TEST(Splash, TaglineAndRedBetaDrawnOnAPictureWithTransparentCorners) {
    gui_application();
    CSplashDlg splash;
    const QImage& image = splash.image();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(splash.size(), image.size());
    EXPECT_TRUE(splash.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);

    int red = 0;
    for (int y = 220; y < 270; ++y) {
        for (int x = 137; x < 230; ++x) {
            const QRgb pixel = image.pixel(x, y);
            red += qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
        }
    }
    EXPECT_GT(red, 100) << "no red \"beta\" at (137, 220)";

    // The tagline is one line of white text below the name.
    QImage plain(QString::fromLatin1(CSplashDlg::kImage));
    plain = plain.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int changedRows = 0;
    for (int y = 160; y < 210; ++y) {
        bool changed = false;
        for (int x = 40; x < 400 && !changed; ++x) {
            changed = image.pixel(x, y) != plain.pixel(x, y);
        }
        changedRows += changed;
    }
    EXPECT_GT(changedRows, 8);
    EXPECT_LT(changedRows, 30);
}

TEST(Splash, PressingLAsksForTheLanguagePage) {
    gui_application();
    CMainDlg dialog;
    testing::SignalRecorder recorder;
    dialog.set_signal_target(recorder.target());
    dialog.show_splash();
    ASSERT_NE(dialog.splash(), nullptr);
    QTest::keyClick(dialog.splash(), Qt::Key_L);
    EXPECT_EQ(recorder.signals_, std::vector<std::uint16_t>{SIG_LANGUAGE_REQUEST});
    dialog.close_splash();
    EXPECT_EQ(dialog.splash(), nullptr);
}

TEST(About, ShowsTheProductNameAndLegalNoticeOfTheVersionInformation) {
    gui_application();
    CAboutDlg about;
    auto* name = about.findChild<QLabel*>(QStringLiteral("productName"));
    auto* notice = about.findChild<QLabel*>(QStringLiteral("legalNotice"));
    ASSERT_NE(name, nullptr);
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(name->text().startsWith(QStringLiteral("Atlasync ")));
    EXPECT_TRUE(name->text().endsWith(QString::fromLatin1(kProgramVersion)));
    EXPECT_EQ(notice->text(), QString::fromLatin1(kProgramLegalCopyright));

    CMainDlg dialog;
    auto actions = dialog.actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions.front()->text(), QStringLiteral("&About Atlasync..."));
    answer_next_modal(QStringLiteral("OK"));
    actions.front()->trigger();
}

TEST(Skin, StyleSheetIsAppliedForTheSkinsLifetime) {
    QApplication& application = gui_application();
    const QString before = application.styleSheet();
    {
        CSkin skin(application);
        EXPECT_TRUE(skin.applied());
        EXPECT_TRUE(application.styleSheet().contains(QStringLiteral("QPushButton")));
    }
    EXPECT_EQ(application.styleSheet(), before);
}

TEST(Fonts, BothFacesResolveToTheBundledFamily) {
    gui_application();
    EXPECT_TRUE(QFontDatabase::families().contains(QStringLiteral("Open Sans")));
    for (const char* face : {"Velka Sans", "Velka Sans SemiBold"}) {
        const FontFace mapped = font_face(QString::fromLatin1(face));
        QFont font(mapped.family);
        font.setWeight(static_cast<QFont::Weight>(mapped.weight));
        EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Open Sans")) << face;
    }
    EXPECT_EQ(font_face(QStringLiteral("Velka Sans SemiBold")).weight, kSemiBoldWeight);
    EXPECT_EQ(font_face(QStringLiteral("DejaVu Serif")).family, QStringLiteral("DejaVu Serif"));
}

}  // namespace
}  // namespace atlasync::ui
