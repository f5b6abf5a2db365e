#include <gtest/gtest.h>

#include "service/content/version_info.h"
#include "service/core/exceptions.h"

namespace {

using namespace MapsService;

TEST(VersionInfo, TextLeavesOutUnsetPartsAndParsingFillsFromTheLeft) {
    EXPECT_EQ(VersionInfo().to_text(), L"");
    EXPECT_FALSE(VersionInfo().is_valid());
    EXPECT_EQ(VersionInfo(3, 1, 255, 255).to_text(), L"3.1");
    EXPECT_EQ(VersionInfo(3, 255, 4, 255).to_text(), L"3.4");
    const VersionInfo parsed = VersionInfo::parse(L"2..1");
    EXPECT_EQ(parsed.a(), 2u);
    EXPECT_EQ(parsed.b(), 1u);
    EXPECT_EQ(parsed.c(), 255u);
    EXPECT_EQ(VersionInfo::parse(L"1.2.3.4.5").to_text(), L"1.2.3.4");
    EXPECT_THROW(VersionInfo::parse(L"1.x"), ConversionFailedException);
}

TEST(VersionInfo, ComparisonsReadUnsetAsZeroAndIgnoreTheFifthNumber) {
    EXPECT_EQ(VersionInfo(1, 2, 255, 255), VersionInfo(1, 2, 0, 0));
    EXPECT_EQ(VersionInfo(1, 2, 0, 0, 7), VersionInfo(1, 2, 0, 0, 9));
    EXPECT_LT(VersionInfo(2, 3, 4, 0), VersionInfo(2, 4, 0, 0));
    EXPECT_LT(VersionInfo(1, 2, 9, 9), VersionInfo(1, 3, 0, 0));
    EXPECT_FALSE(VersionInfo(1, 3, 0, 0) < VersionInfo(1, 3, 255, 255));
}

TEST(MapsappVersionInfo, BuildTextFillsYearWeekAndBuildOnlyFromThreeWords) {
    MapsappVersionInfo version(VersionInfo(1, 3, 15, 0));
    version.read_build_text(L"0812 build:x b4");
    EXPECT_EQ(version.week(), 12u);
    EXPECT_EQ(version.year(), 8u);
    EXPECT_EQ(version.build(), 4u);
    EXPECT_EQ(version.to_text(), L"1.3.15.0 wk 12/8 b4");

    MapsappVersionInfo longYear(VersionInfo(1, 0, 0, 0));
    longYear.read_build_text(L"091234 x b17");
    EXPECT_EQ(longYear.year(), 9u);
    EXPECT_EQ(longYear.week(), 34u);

    MapsappVersionInfo twoWords(VersionInfo(1, 0, 0, 0));
    twoWords.read_build_text(L"0812 b4");
    EXPECT_EQ(twoWords.to_text(), L"1.0.0.0");
}

TEST(MapsappVersionInfo, EqualVersionsAreOrderedByYearWeekAndBuild) {
    MapsappVersionInfo older(VersionInfo(1, 3, 15, 0));
    older.set_build_parts(8, 12, 4);
    MapsappVersionInfo newer(VersionInfo(1, 3, 15, 0));
    newer.set_build_parts(8, 12, 5);
    EXPECT_TRUE(older.is_older_than(newer));
    EXPECT_FALSE(newer.is_older_than(older));
    EXPECT_TRUE(newer.is_older_than(MapsappVersionInfo(VersionInfo(1, 4, 0, 0))));
}

TEST(ClientTypes, TableGivesVersionsAndLegacyClientsAreOlderThanOnePointThree) {
    EXPECT_EQ(client_version_for(L"QTVMAPS3.0").to_text(), L"1.3.15.0");
    EXPECT_EQ(client_version_for(L"qtvmaps1.2").to_text(), L"1.1.999.999");
    EXPECT_FALSE(client_version_for(L"unknown").is_valid());
    EXPECT_TRUE(is_legacy_client(L"qtvmaps2.0", client_version_for(L"qtvmaps2.0")));
    EXPECT_FALSE(is_legacy_client(L"R47", VersionInfo(1, 1, 1, 1)));
    EXPECT_FALSE(is_legacy_client(L"qtvmaps3.0", VersionInfo(1, 3, 15, 0)));
    EXPECT_EQ(platform_code_for(L"QtlMaps1.0"), 1);
    EXPECT_EQ(platform_code_for(L"qtvmaps2.0"), 3);
}

}  // namespace
