#include <gtest/gtest.h>

#include <QLocale>

#include "ui/wizard/download_text.h"
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
    EXPECT_EQ(compose_download_text(1, std::nullopt, L"base"), L"base" + seconds(1));
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
