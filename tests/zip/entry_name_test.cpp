#include "service/zip/entry_name.h"

#include <gtest/gtest.h>

using MapsService::parse_entry_name;

TEST(EntryName, RelativeNamesBecomeDrivePathsAndNativePathsUnderTheTarget) {
    const auto name = parse_entry_name("cities/diskcache\\./00//tile.dat");
    ASSERT_TRUE(name.has_value());
    EXPECT_FALSE(name->isDirectory);
    EXPECT_EQ(name->relative_path(), L"cities\\diskcache\\00\\tile.dat");
    EXPECT_EQ(name->native_path_under("/tmp/work"), "/tmp/work/cities/diskcache/00/tile.dat");
    EXPECT_EQ(name->native_path_under("/tmp/work/"), "/tmp/work/cities/diskcache/00/tile.dat");

    const auto utf8 = parse_entry_name("voices/\xc3\xa9t\xc3\xa9.dat");
    ASSERT_TRUE(utf8.has_value());
    EXPECT_EQ(utf8->relative_path(), L"voices\\\u00e9t\u00e9.dat");

    const auto folder = parse_entry_name("maps/cities/");
    ASSERT_TRUE(folder.has_value());
    EXPECT_TRUE(folder->isDirectory);
}

TEST(EntryName, NamesThatCouldLeaveTheTargetOrNameNothingAreRefused) {
    for (const char* hostile : {"../x", "a/../../x", "..", "a/..", "/abs", "\\abs", "C:\\x", "C:x",
                                "a/b:stream", ".", ""}) {
        EXPECT_FALSE(parse_entry_name(hostile).has_value()) << hostile;
    }
    EXPECT_FALSE(parse_entry_name(std::string("a\0b", 3)).has_value());
    // "./" names the target folder itself: a folder entry, skipped like the others.
    const auto itself = parse_entry_name("./");
    ASSERT_TRUE(itself.has_value());
    EXPECT_TRUE(itself->isDirectory);
    EXPECT_TRUE(itself->components.empty());
}
