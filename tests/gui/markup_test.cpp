#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include "tests/gui/gui_test_support.h"
#include "ui/controls/markup.h"
#include "ui/controls/markup_label.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {
namespace {

using testing::gui_application;

// One run of text as Qt renders it.
struct TextRun {
    QString text;
    QTextCharFormat format;
};

std::vector<TextRun> rendered_runs(const QString& html, QString* plain = nullptr) {
    QTextDocument document;
    document.setHtml(html);
    if (plain != nullptr) {
        *plain = document.toPlainText();
    }
    std::vector<TextRun> runs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            runs.push_back({it.fragment().text(), it.fragment().charFormat()});
        }
    }
    return runs;
}

const TextRun& run_with(const std::vector<TextRun>& runs, const QString& text) {
    for (const TextRun& run : runs) {
        if (run.text.contains(text)) {
            return run;
        }
    }
    static const TextRun none;
    ADD_FAILURE() << "no run with " << text.toStdString();
    return none;
}

TEST(Markup, DownloadedOfTotalRendersBoldBlueSizesInTheBundledFace) {
    gui_application();
    const std::wstring markup = format_text(text(kTextDownloadedOfTotal), {L"12.5", L"80.0"});
    QString plain;
    const auto runs = rendered_runs(markup_to_html(QString::fromStdWString(markup), {}), &plain);
    EXPECT_EQ(plain, QStringLiteral("12.5 MB of 80.0 MB."));

    const TextRun& done = run_with(runs, QStringLiteral("12.5 MB"));
    EXPECT_EQ(done.format.fontFamilies().toStringList().value(0), QStringLiteral("Open Sans"));
    EXPECT_GE(done.format.fontWeight(), QFont::Bold);
    EXPECT_EQ(done.format.foreground().color(), QColor(Qt::blue));

    const TextRun& of = run_with(runs, QStringLiteral(" of "));
    EXPECT_LT(of.format.fontWeight(), QFont::DemiBold);
    EXPECT_EQ(of.format.foreground().color(), QColor(Qt::black));
    // </b> ended the bold, the black font tag is still open for the total.
    const TextRun& total = run_with(runs, QStringLiteral("80.0 MB"));
    EXPECT_GE(total.format.fontWeight(), QFont::Bold);
    EXPECT_EQ(total.format.foreground().color(), QColor(Qt::black));
}

TEST(Markup, SizesAreInPixelsOrPercentOfTheSizeAround) {
    gui_application();
    const auto runs = rendered_runs(markup_to_html(
        u"base<font size=\"20px\">twenty<font size=\"50%\">ten</font>again</font>back",
        MarkupBase{.face = QStringLiteral("Velka Sans"), .pixelSize = 14}));
    EXPECT_EQ(run_with(runs, QStringLiteral("base")).format.font().pixelSize(), 14);
    EXPECT_EQ(run_with(runs, QStringLiteral("twenty")).format.font().pixelSize(), 20);
    EXPECT_EQ(run_with(runs, QStringLiteral("ten")).format.font().pixelSize(), 10);
    EXPECT_EQ(run_with(runs, QStringLiteral("again")).format.font().pixelSize(), 20);
    EXPECT_EQ(run_with(runs, QStringLiteral("back")).format.font().pixelSize(), 14);
}

TEST(Markup, TheThemeDrawsTheTextsBlackAndBlueAndTheScaleGrowsPixelSizes) {
    gui_application();
    const MarkupBase dark{.face = QStringLiteral("Velka Sans"),
                          .pixelSize = 10,
                          .ink = QStringLiteral("#eeeeee"),
                          .accent = QStringLiteral("#66aaff"),
                          .scale = 1.5};
    const auto runs = rendered_runs(
        markup_to_html(u"base<font color=\"blue\" size=\"20px\">blue<font color=\"black\" "
                       u"size=\"50%\">black<font color=\"red\">red",
                       dark));
    const struct {
        const char* run;
        QColor colour;
        int pixels;
    } kExpected[] = {
        {"base", QColor(0xee, 0xee, 0xee), 15},
        {"blue", QColor(0x66, 0xaa, 0xff), 30},
        {"black", QColor(0xee, 0xee, 0xee), 15},
        {"red", QColor(Qt::red), 15},
    };
    for (const auto& expected : kExpected) {
        const auto& format = run_with(runs, QString::fromLatin1(expected.run)).format;
        EXPECT_EQ(format.foreground().color(), expected.colour) << expected.run;
        EXPECT_EQ(format.font().pixelSize(), expected.pixels) << expected.run;
    }
}

TEST(Markup, FacesMapToTheBundledFamilyAtTheirWeights) {
    gui_application();
    const auto runs = rendered_runs(markup_to_html(
        u"<font face=\"Velka Sans SemiBold\">semi<font face=\"Velka Sans\">regular<b>bold", {}));
    const auto& semi = run_with(runs, QStringLiteral("semi")).format;
    EXPECT_EQ(semi.fontFamilies().toStringList().value(0), QStringLiteral("Open Sans"));
    EXPECT_EQ(semi.fontWeight(), QFont::DemiBold);
    EXPECT_EQ(run_with(runs, QStringLiteral("regular")).format.fontWeight(), QFont::Normal);
    EXPECT_EQ(run_with(runs, QStringLiteral("bold")).format.fontWeight(), QFont::Bold);
}

TEST(Markup, BreaksLineFeedsAndLinksSurviveAndPlainTextIsEscaped) {
    gui_application();
    QString plain;
    const QString html = markup_to_html(
        u"one<br>two\nthree<BR/>a < b & c <script>x</script> <a "
        u"href=\"https://x.example/\">site</a>",
        {});
    const auto runs = rendered_runs(html, &plain);
    EXPECT_EQ(plain, QStringLiteral("one\ntwo\nthree\na < b & c x site"));
    EXPECT_TRUE(run_with(runs, QStringLiteral("site")).format.isAnchor());
    EXPECT_EQ(run_with(runs, QStringLiteral("site")).format.anchorHref(),
              QStringLiteral("https://x.example/"));
    EXPECT_FALSE(html.contains(QStringLiteral("<script")));
}

TEST(Markup, LabelKeepsItsMarkupAndRendersItAtItsBaseSize) {
    gui_application();
    CMarkupLabel label;
    label.set_base_pixel_size(15);
    label.set_markup(L"Update was <b>successful</b>!");
    EXPECT_EQ(label.markup(), L"Update was <b>successful</b>!");
    EXPECT_EQ(label.textFormat(), Qt::RichText);
    const auto runs = rendered_runs(label.text());
    EXPECT_EQ(run_with(runs, QStringLiteral("Update")).format.font().pixelSize(), 15);
    EXPECT_EQ(run_with(runs, QStringLiteral("successful")).format.fontWeight(), QFont::Bold);
    // Static text is passed over by Tab and named by its words; a link is reachable.
    EXPECT_EQ(label.focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(label.accessibleName(), QStringLiteral("Update was successful!"));
    label.set_markup(L"See <a href=\"https://x.example/\">the notes</a>.");
    EXPECT_EQ(label.focusPolicy(), Qt::StrongFocus);
    EXPECT_TRUE(label.textInteractionFlags().testFlag(Qt::LinksAccessibleByKeyboard));
}

}  // namespace
}  // namespace atlasync::ui
