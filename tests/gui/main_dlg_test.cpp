#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <memory>

#include "tests/gui/gui_test_support.h"
#include "tests/ui/qt_test_support.h"
#include "ui/app/main_dlg.h"
#include "ui/controls/animated_picture.h"
#include "ui/controls/busy_animation.h"
#include "ui/controls/markup_label.h"
#include "ui/messaging/ui_language_manager.h"
#include "ui/pages/language_names.h"
#include "ui/pages/pages.h"
#include "ui/wizard/download_text.h"
#include "ui/wizard/language_module.h"
#include "ui/wizard/string_table.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::ui {
namespace {

using testing::gui_application;
using testing::SignalRecorder;
using testing::window_rect;

constexpr WizardPage kAllPages[] = {
    WizardPage::SelectLanguage,  WizardPage::SearchingForPhones, WizardPage::SelectPhone,
    WizardPage::ErrorRetry,      WizardPage::ErrorExit,          WizardPage::CheckingForUpdates,
    WizardPage::UpdateAvailable, WizardPage::Download,           WizardPage::Installing,
    WizardPage::Complete,        WizardPage::Shutdown,
};

// Every control of every page inside the window, no two overlapping, no text clipped.
void expect_every_page_fits(CMainDlg& dialog, const std::string& variant) {
    dialog.set_heading(WizardPage::ErrorRetry, text(126));
    dialog.set_description(WizardPage::ErrorRetry, format_text(text(116), {L"9"}));
    dialog.set_heading(WizardPage::UpdateAvailable, L"Maps application");
    dialog.set_description(
        WizardPage::UpdateAvailable,
        format_text(text(135), {L"2.0", L"12.3", L"Faster search, new voices."}));
    dialog.set_download_text(format_text(text(kTextDownloadedOfTotal), {L"10.0", L"120.5"}) +
                             format_text(text(kTextEstimatedMinutes), {L"2"}));
    dialog.set_phone_list({{1, L"alpha"}, {2, L"bravo"}, {3, L"charlie"}});
    for (const WizardPage page : kAllPages) {
        dialog.show_page(page);
        const QRect client = dialog.rect();
        QWidget* window = dialog.current_page()->window();
        window->ensurePolished();
        QCoreApplication::processEvents();
        std::vector<QWidget*> controls;
        for (QWidget* child : window->findChildren<QWidget*>()) {
            if (child->isVisible() && !child->objectName().isEmpty() &&
                child->objectName() != QStringLiteral("content") &&
                child->objectName().toInt() != 0) {
                controls.push_back(child);
            }
        }
        for (QWidget* control : controls) {
            const QRect at = window_rect(*control);
            EXPECT_TRUE(client.contains(at))
                << variant << ": page " << static_cast<int>(page) << ": control "
                << control->objectName().toStdString() << " leaves the window";
            if (auto* label = qobject_cast<QLabel*>(control)) {
                // Word-wrapped text needs no more height than it was given.
                EXPECT_LE(label->heightForWidth(label->width()), label->height() + 1)
                    << variant << ": page " << static_cast<int>(page) << ": label "
                    << label->objectName().toStdString() << " is clipped";
            }
            for (QWidget* other : controls) {
                if (other != control && !control->isAncestorOf(other) &&
                    !other->isAncestorOf(control) &&
                    qobject_cast<CAnimatedPicture*>(other) == nullptr) {
                    EXPECT_FALSE(at.intersects(window_rect(*other)))
                        << variant << ": page " << static_cast<int>(page) << ": "
                        << control->objectName().toStdString() << " overlaps "
                        << other->objectName().toStdString();
                }
            }
        }
    }
}

class MainDlgTest : public testing::GuiTest {
protected:
    void SetUp() override {
        dialog.set_signal_target(recorder.target());
        dialog.open_main_window();
    }

    template <class Control>
    Control* control(std::uint32_t id) {
        return dialog.current_page()->control<Control>(id);
    }
    QPushButton* button(std::uint32_t id) { return control<QPushButton>(id); }
    std::wstring markup_of(std::uint32_t id) {
        auto* label = control<CMarkupLabel>(id);
        return label != nullptr ? label->markup() : L"<no label>";
    }

    CMainDlg dialog;
    SignalRecorder recorder;
};

TEST_F(MainDlgTest, ShowingAPageDestroysTheOldWindowAndHeadsTheNewOneWithItsCaptionOrTheGivenText) {
    dialog.show_page(WizardPage::SearchingForPhones);
    QPointer<QWidget> searching = dialog.current_page()->window();
    ASSERT_TRUE(searching);
    EXPECT_EQ(searching->parentWidget(), &dialog);
    EXPECT_EQ(searching->pos(), QPoint(24, 46));
    EXPECT_EQ(dialog.header().markup(), L"Get Connected");

    std::vector<std::pair<WizardPage, std::wstring>> shown;
    dialog.set_page_listener(
        [&](WizardPage page, const std::wstring& header) { shown.emplace_back(page, header); });
    dialog.show_page(WizardPage::ErrorRetry);
    EXPECT_EQ(
        shown,
        (std::vector<std::pair<WizardPage, std::wstring>>{{WizardPage::ErrorRetry, L"Error"}}));
    EXPECT_TRUE(searching.isNull());
    EXPECT_EQ(dialog.page(WizardPage::SearchingForPhones).window(), nullptr);
    EXPECT_EQ(dialog.header().markup(), L"Error");

    dialog.show_page(WizardPage::Download, text(128));
    EXPECT_EQ(dialog.header().markup(), L"Updating Map Data");
    dialog.show_page(WizardPage::Download);
    EXPECT_EQ(dialog.header().markup(), L"Download");
    EXPECT_EQ(dialog.findChildren<QWidget*>(QStringLiteral("page139")).size(), 1);
}

TEST_F(MainDlgTest, HeaderPictureIsHiddenOnEveryChangeAndShowsTheErrorAndFinalIcons) {
    dialog.show_page(WizardPage::ErrorExit);
    EXPECT_TRUE(dialog.header_picture().isVisible());
    const QImage error = dialog.header_picture().pixmap().toImage();
    dialog.show_page(WizardPage::CheckingForUpdates);
    EXPECT_FALSE(dialog.header_picture().isVisible());
    dialog.show_page(WizardPage::Complete);
    EXPECT_TRUE(dialog.header_picture().isVisible());
    EXPECT_NE(dialog.header_picture().pixmap().toImage(), error);
    dialog.show_page(WizardPage::ErrorRetry);
    EXPECT_EQ(dialog.header_picture().pixmap().toImage(), error);
}

TEST_F(MainDlgTest, TextsSetOnAPageNotShownAppearWhenItIsShownAndAtOnceWhenItIs) {
    dialog.show_page(WizardPage::SearchingForPhones);
    dialog.set_heading(WizardPage::ErrorExit, L"Cannot update the maps application.");
    dialog.set_description(WizardPage::ErrorExit, L"Unknown failure (77).");
    dialog.set_phone_text(L"Checking for software updates for <b>alpha</b>.");
    dialog.set_installing_text(text(138));
    dialog.set_download_text(L"<font face=\"Velka Sans\">Transferring data to phone.");

    dialog.show_page(WizardPage::ErrorExit);
    EXPECT_EQ(markup_of(1002), L"Cannot update the maps application.");
    EXPECT_EQ(markup_of(1016), L"Unknown failure (77).");
    dialog.set_description(WizardPage::ErrorExit, L"Unknown failure (78).");
    EXPECT_EQ(markup_of(1016), L"Unknown failure (78).");

    dialog.show_page(WizardPage::CheckingForUpdates);
    EXPECT_EQ(markup_of(1014), L"Checking for software updates for <b>alpha</b>.");
    dialog.show_page(WizardPage::Installing);
    EXPECT_EQ(markup_of(1011), text(138));
    dialog.show_page(WizardPage::Download);
    EXPECT_EQ(markup_of(1013), L"<font face=\"Velka Sans\">Transferring data to phone.");

    dialog.show_page(WizardPage::Complete);
    EXPECT_EQ(markup_of(1002), L"Update was successful!");
    EXPECT_EQ(markup_of(1018),
              L"<font face=\"Velka Sans\">Manage your maps and voices with Mapporter.");
}

TEST_F(MainDlgTest, PhoneListKeepsTheSelectedPhoneAcrossRefillsWhileItIsListed) {
    dialog.set_phone_list({{7, L"alpha"}, {9, L"bravo"}});
    dialog.show_page(WizardPage::SelectPhone);
    auto* list = control<QListWidget>(1017);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(dialog.selected_phone(), 7u);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(dialog.selected_phone(), 9u);

    dialog.set_phone_list({{4, L"charlie"}, {7, L"alpha"}, {9, L"bravo"}});
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("bravo"));
    EXPECT_EQ(dialog.selected_phone(), 9u);

    dialog.set_phone_list({{4, L"charlie"}, {7, L"alpha"}});
    EXPECT_EQ(dialog.selected_phone(), 4u);
    dialog.set_phone_list({});
    EXPECT_EQ(dialog.selected_phone(), 0u);

    // Filled while not shown, the list shows the phones with the kept choice.
    dialog.set_phone_list({{4, L"charlie"}, {7, L"alpha"}});
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    dialog.show_page(WizardPage::SearchingForPhones);
    dialog.set_phone_list({{7, L"alpha"}, {9, L"bravo"}, {4, L"charlie"}});
    EXPECT_EQ(dialog.selected_phone(), 7u);
    dialog.show_page(WizardPage::SelectPhone);
    EXPECT_EQ(control<QListWidget>(1017)->currentItem()->text(), QStringLiteral("alpha"));

    QTest::mouseClick(button(1005), Qt::LeftButton);
    EXPECT_EQ(recorder.signals_, std::vector<std::uint16_t>{SIG_NEXT});
    EXPECT_EQ(dialog.selected_phone(), 7u);
}

TEST_F(MainDlgTest, ButtonsEscapeAndClosingDispatchTheirSignalsAndTheWindowStaysOpen) {
    dialog.show_page(WizardPage::ErrorRetry);
    QTest::mouseClick(button(1015), Qt::LeftButton);
    QTest::mouseClick(button(2), Qt::LeftButton);
    dialog.show_page(WizardPage::ErrorExit);
    QTest::mouseClick(button(1005), Qt::LeftButton);
    dialog.show_page(WizardPage::UpdateAvailable);
    QTest::mouseClick(button(1005), Qt::LeftButton);
    QTest::mouseClick(button(2), Qt::LeftButton);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(button(2), Qt::Key_Escape);
    EXPECT_FALSE(dialog.close());

    EXPECT_EQ(recorder.signals_,
              (std::vector<std::uint16_t>{SIG_RETRY, SIG_CANCEL_REQUEST, SIG_NEXT, SIG_NEXT,
                                          SIG_CANCEL_REQUEST, SIG_CANCEL_REQUEST,
                                          SIG_CANCEL_REQUEST, SIG_CANCEL_REQUEST}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.run_result().has_value());

    dialog.end_run(2);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.wait_for_end(), 2);
}

TEST_F(MainDlgTest, ButtonsRunRightToLeftAlongTheBottomOnEveryPage) {
    const QSize client = dialog.size();
    for (const WizardPage page : kAllPages) {
        dialog.show_page(page);
        const auto buttons = dialog.current_page()->window()->findChildren<QPushButton*>();
        for (int i = 0; i < buttons.size(); ++i) {
            EXPECT_EQ(window_rect(*buttons[i]),
                      QRect(client.width() - 143 - i * 127, client.height() - 53, 119, 29))
                << "page " << static_cast<int>(page) << ", button " << i;
        }
    }
    dialog.show_page(WizardPage::UpdateAvailable);
    EXPECT_EQ(button(2)->x() > button(1005)->x(), true);
}

TEST_F(MainDlgTest, EveryPageFitsTheWindowWithoutOverlapsOrClippedText) {
    expect_every_page_fits(dialog, "9 points");
}

// The window grows with the user's font size and with a language's longer texts.
TEST(MainDlgScaling, EveryPageFitsAtTheUsersFontSizeAndInALongerLanguage) {
    gui_application();
    const QFont original = QApplication::font();
    // A note three times as long as the English one, and longer buttons.
    std::string module =
        "1411015=Noch einmal versuchen, bitte\n1481005=Herunterladen und installieren\n"
        "1481022=<font face=\"Velka Sans\">";
    for (int i = 0; i < 3; ++i) {
        module +=
            "Die Aktualisierung kann abhängig von der Dateigröße mehrere Minuten dauern. Bitte "
            "trennen Sie das Telefon währenddessen nicht vom Computer und schließen Sie keine "
            "Anwendungen auf dem Telefon, bis die Aktualisierung beendet ist. ";
    }
    const auto longer = std::make_shared<const LanguageModule>(LanguageModule::parse(module));
    const struct {
        const char* name;
        double points;
        bool longTexts;
    } kVariants[] = {{"150 %", 13.5, false}, {"longer texts", 9, true}, {"both", 13.5, true}};
    for (const auto& variant : kVariants) {
        QFont font = original;
        font.setPointSizeF(variant.points);
        QApplication::setFont(font);
        set_language_module(variant.longTexts ? longer : nullptr);
        {
            CMainDlg scaled;
            scaled.open_main_window();
            EXPECT_GE(scaled.width(), qRound(495 * variant.points / 9)) << variant.name;
            EXPECT_GE(scaled.height(), qRound(372 * variant.points / 9)) << variant.name;
            expect_every_page_fits(scaled, variant.name);
            scaled.show_page(WizardPage::UpdateAvailable);
            auto* download = scaled.current_page()->control<QPushButton>(kIdNext);
            EXPECT_GE(download->width(), download->sizeHint().width()) << variant.name;
            if (variant.longTexts) {
                EXPECT_GT(scaled.height(), scaled.minimumHeight()) << variant.name;
            }
        }
        set_language_module(nullptr);
        QApplication::setFont(original);
    }
}

// On a dark theme the page is the theme's and its texts are drawn in the theme's colours.
TEST(MainDlgTheme, ADarkThemeKeepsTheTextsReadable) {
    gui_application();
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Link, QColor(0x66, 0xaa, 0xff));
    QApplication::setPalette(dark);
    {
        CMainDlg window;
        window.set_description(WizardPage::ErrorRetry, format_text(text(116), {L"9"}));
        window.open_main_window();
        window.show_page(WizardPage::ErrorRetry);
        QCoreApplication::processEvents();
        const QImage shot = window.grab().toImage();
        // Below the header band, away from any text: the theme's window colour.
        EXPECT_EQ(QColor(shot.pixel(4, shot.height() - 4)), dark.color(QPalette::Window));
        auto* description = window.current_page()->control<CMarkupLabel>(kIdDescription);
        ASSERT_NE(description, nullptr);
        EXPECT_TRUE(description->text().contains(QStringLiteral("color:#eeeeee")));
        EXPECT_FALSE(description->text().contains(QStringLiteral("color:#000000")));
    }
    QApplication::setPalette(original);
}

TEST_F(MainDlgTest, DownloadBarCountsTenthsOfAPercentBesideCancel) {
    dialog.set_download_progress(45.67);
    dialog.show_page(WizardPage::Download);
    auto* bar = control<QProgressBar>(1012);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 1000);
    EXPECT_EQ(bar->value(), 457);
    dialog.set_download_progress(100.0);
    EXPECT_EQ(bar->value(), 1000);
    dialog.set_download_progress(0.001);
    EXPECT_EQ(bar->value(), 0);

    const QRect at = window_rect(*bar);
    EXPECT_EQ(at.left(), dialog.header().x());
    EXPECT_EQ(at.right() + 1 + 6, window_rect(*button(2)).left());
    EXPECT_EQ(at.height(), 15);
    EXPECT_EQ(control<CMarkupLabel>(1013)->palette().color(QPalette::Window),
              QColor(243, 243, 243));
}

TEST_F(MainDlgTest, NinetyOneSecondsLeftShowAsTwoMinutesNinetyAsSeconds) {
    dialog.show_page(WizardPage::Download, text(128));
    auto* label = control<CMarkupLabel>(1013);
    const auto shown = [&] {
        QTextDocument document;
        document.setHtml(label->text());
        return document.toPlainText();
    };
    dialog.set_download_text(compose_download_text(91, MegabytePair{12.5, 80.0}));
    EXPECT_TRUE(shown().endsWith(QStringLiteral("MB. Estimated time: 2 Minutes")))
        << shown().toStdString();
    dialog.set_download_text(compose_download_text(90, MegabytePair{12.5, 80.0}));
    EXPECT_TRUE(shown().endsWith(QStringLiteral("MB. Estimated time: 90 Seconds")))
        << shown().toStdString();
    dialog.set_download_text(compose_download_text(0, std::nullopt, text(145)));
    EXPECT_EQ(shown(), QStringLiteral("Transferring data to phone."));
}

TEST_F(MainDlgTest, LanguagePageListsTheLanguagesAndHandsOverTheChosenOne) {
    dialog.set_languages({0x0407, 0x040c});
    dialog.preselect_language(1033);
    dialog.show_page(WizardPage::SelectLanguage);
    auto* list = control<QListWidget>(1004);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("English"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Deutsch"));
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("Fran\u00E7ais"));
    EXPECT_EQ(dialog.chosen_language(), 1033u);

    list->setCurrentRow(2);
    QTest::mouseClick(button(1005), Qt::LeftButton);
    EXPECT_EQ(recorder.signals_, std::vector<std::uint16_t>{SIG_NEXT});
    EXPECT_EQ(dialog.chosen_language(), 0x040cu);
}

TEST(LanguageNames, EachLanguageGoesByItsOwnNameAndItsTerritoryOnlyWhereTwoShareIt) {
    const std::pair<std::vector<std::uint32_t>, QStringList> cases[] = {
        {{0x0407, 0x0409, 0x040c, 0x0c0a},
         {QStringLiteral("Deutsch"), QStringLiteral("English"), QStringLiteral("Fran\u00E7ais"),
          QStringLiteral("Espa\u00F1ol")}},
        // The built-in texts (no module loaded) are US English.
        {{CUILanguageManager::kNoLanguage}, {QStringLiteral("English")}},
        {{0x0409, 0x0809, 0x0407},
         {QStringLiteral("English (United States)"), QStringLiteral("English (United Kingdom)"),
          QStringLiteral("Deutsch")}},
        {{0x0807, 0x0c07},
         {QStringLiteral("Deutsch (Schweiz)"), QStringLiteral("Deutsch (\u00D6sterreich)")}},
        {{0x0436}, {QStringLiteral("0x0436")}},
    };
    for (const auto& [ids, names] : cases) {
        EXPECT_EQ(language_display_names(ids), names) << names.join(QLatin1Char('|')).toStdString();
    }
}

// The title, the About item and the final page's note kept the texts read
// when the window was built.
TEST_F(MainDlgTest, AfterALanguageSwitchEveryTextComesFromTheNewModule) {
    dialog.set_languages({0x0407});
    dialog.show_page(WizardPage::SelectLanguage);
    auto* about = dialog.findChild<QAction*>(QStringLiteral("aboutAction"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Atlasync"));
    // As the machine does once the language page is left with German chosen.
    CUILanguageManager languages({ATLASYNC_TEST_LANGUAGES});
    ASSERT_TRUE(languages.switch_language(0x0407));
    dialog.set_heading(WizardPage::Complete, text(125));
    dialog.show_page(WizardPage::Complete);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Atlasync (Deutsch)"));
    EXPECT_EQ(about->text(), QStringLiteral("&Über Atlasync..."));
    EXPECT_EQ(markup_of(1002), L"Aktualisierung erfolgreich!");
    EXPECT_EQ(markup_of(1018), L"<font face=\"Velka Sans\">Karten und Stimmen verwalten.");
}

TEST_F(MainDlgTest, PagesPlayTheTutorialOrElseTheirBusyAnimation) {
    dialog.show_page(WizardPage::Installing);
    EXPECT_FALSE(control<CAnimatedPicture>(1009)->playing());
    EXPECT_TRUE(control<CBusyAnimation>(1010)->running());

    dialog.load_tutorial_picture(ATLASYNC_TUTORIAL_GIF);
    dialog.show_page(WizardPage::Download);
    auto* picture = control<CAnimatedPicture>(1009);
    EXPECT_TRUE(picture->playing());
    EXPECT_EQ(window_rect(*picture), QRect(6, 46 + 6, 471, 171));
    dialog.show_page(WizardPage::Installing);
    EXPECT_TRUE(control<CAnimatedPicture>(1009)->playing());
    EXPECT_FALSE(control<CBusyAnimation>(1010)->running());
    dialog.show_page(WizardPage::SearchingForPhones);
    auto* busy = control<CBusyAnimation>(1010);
    ASSERT_NE(busy, nullptr);
    const int step = busy->step();
    EXPECT_TRUE(testing::process_events_until([&] { return busy->step() != step; }));
}

}  // namespace
}  // namespace atlasync::ui
