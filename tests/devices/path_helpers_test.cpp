#include "service/devices/path_helpers.h"

#include <gtest/gtest.h>

using namespace MapsService;

TEST(PathHelpers, JoinPutsExactlyOneSeparatorBetweenTheParts) {
    EXPECT_EQ(join_path(L"cities\\", L"\\diskcache"), L"cities\\diskcache");
    EXPECT_EQ(join_path(L"", L"name"), L"name");
    EXPECT_EQ(join_path(L"E:", L"name"), L"E:\\name");
    EXPECT_EQ(join_path(L"a/", L"b"), L"a/b");
    EXPECT_EQ(join_path(L"a", L"/b"), L"a\\b");
    EXPECT_EQ(join_path(L"a", L""), L"a\\");
    // Only one leading separator of the second part is dropped.
    EXPECT_EQ(join_path(L"a", L"\\\\b"), L"a\\\\b");
}

TEST(PathHelpers, PartsSplitAtTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(directory_part(L"a\\b/c"), L"a\\b");
    EXPECT_EQ(file_part(L"a\\b/c"), L"c");
    EXPECT_EQ(directory_part(L"name"), L"");
    EXPECT_EQ(file_part(L"name"), L"name");
    EXPECT_EQ(directory_part(L"\\x"), L"");
    EXPECT_EQ(file_part(L"dir\\"), L"");
}

TEST(PathHelpers, TrailingBackslashIsAddedOnlyWhenMissing) {
    EXPECT_EQ(with_trailing_backslash(L"a"), L"a\\");
    EXPECT_EQ(with_trailing_backslash(L"a\\"), L"a\\");
    EXPECT_EQ(with_trailing_backslash(L"a/"), L"a/\\");
    EXPECT_EQ(with_trailing_backslash(L""), L"\\");
}
