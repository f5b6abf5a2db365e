#include <gtest/gtest.h>

#include <QLocale>
#include <memory>

#include "ui/wizard/download_text.h"
#include "ui/wizard/language_module.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {
namespace {

std::wstring minutes(int n) {
    return format_text(text(kTextEstimatedMinutes), {std::to_wstring(n)});
}

std::wstring seconds(int n) {
    return format_text(text(kTextEstimatedSeconds), {std::to_wstring(n)});
}

TEST(DownloadText, MinutesShowOnlyAboveNinetySecondsRounded) {
    EXPECT_EQ(compose_download_text(90, std::nullopt, L"base"), L"base" + seconds(90));
    EXPECT_EQ(compose_download_text(91, std::nullopt, L"base"), L"base" + minutes(2));
    EXPECT_EQ(compose_download_text(149, std::nullopt, L"base"), L"base" + minutes(2));
    EXPECT_EQ(compose_download_text(150, std::nullopt, L"base"), L"base" + minutes(3));
    EXPECT_EQ(compose_download_text(2, std::nullopt, L"base"), L"base" + seconds(2));
}

TEST(DownloadText, OneMinuteAndOneSecondTakeTheFormForOne) {
    EXPECT_EQ(count_text(1, kTextEstimatedMinute, kTextEstimatedMinutes),
              L" Estimated time: <font color=\"blue\">1 Minute");
    EXPECT_EQ(count_text(2, kTextEstimatedMinute, kTextEstimatedMinutes),
              L" Estimated time: <font color=\"blue\">2 Minutes");
    EXPECT_EQ(compose_download_text(1, std::nullopt, L"base"),
              L"base Estimated time: <font color=\"blue\">1 Second");
}

TEST(DownloadText, TheFormForOneFollowsThePluralRuleOfTheLanguageInUse) {
    struct Case {
        std::uint32_t language;
        std::uint64_t count;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {0x0407, 1, L"1 one"},   {0x0407, 0, L"0 other"}, {0x0c0a, 1, L"1 one"},
        {0x0c0a, 0, L"0 other"}, {0x040c, 0, L"0 one"},   {0x040c, 1, L"1 one"},
        {0x040c, 2, L"2 other"}, {0x080c, 0, L"0 one"},  // Belgian French
    };
    for (const Case& c : cases) {
        set_language_module(std::make_shared<LanguageModule>(
            LanguageModule::parse("169=%1 one\n164=%1 other\n", c.language)));
        EXPECT_EQ(count_text(c.count, kTextEstimatedSecond, kTextEstimatedSeconds), c.shown)
            << std::hex << c.language << std::dec << " " << c.count;
    }
    set_language_module(nullptr);
    EXPECT_EQ(count_text(0, kTextEstimatedSecond, kTextEstimatedSeconds),
              L" Estimated time: <font color=\"blue\">0 Seconds");
}

TEST(DownloadText, NoEstimateAddsNothing) {
    EXPECT_EQ(compose_download_text(0, std::nullopt, L"base"), L"base");
    EXPECT_EQ(compose_download_text(0, std::nullopt), L"");
}

TEST(DownloadText, MegabytesReplaceTheBaseTextInTheUsersNumberFormat) {
    const std::wstring point(
        1, static_cast<wchar_t>(QLocale::system().decimalPoint().at(0).unicode()));
    const std::wstring got = compose_download_text(30, MegabytePair{1.5, 12.25}, L"ignored");
    const std::wstring expected =
        format_text(text(kTextDownloadedOfTotal), {L"1" + point + L"50", L"12" + point + L"25"}) +
        seconds(30);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(got.find(L"ignored"), std::wstring::npos);
}

}  // namespace
}  // namespace atlasync::ui
