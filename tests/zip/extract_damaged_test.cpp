#include <gtest/gtest.h>

#include "service/zip/extract.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"
#include "tests/zip/archive_fixtures.h"

using namespace atlasync::testing;
using MapsService::kResultCorruptArchive;

namespace {

fs::path make_sample_archive(const TempDir& work) {
    write_sample_tree(work / "source");
    EXPECT_EQ(run_tool({"zip", "-q", "-r", (work / "sample.zip").string(), "."}, work / "source"),
              0);
    return work / "sample.zip";
}

}  // namespace

TEST(ExtractDamaged, TruncatedArchivesAreRefusedWithoutSinkCalls) {
    TempDir work;
    const std::string whole = read_file(make_sample_archive(work));
    for (std::size_t cut :
         {std::size_t{0}, std::size_t{4}, std::size_t{30}, whole.size() / 3, whole.size() / 2,
          whole.size() - 200, whole.size() - 22, whole.size() - 1}) {
        write_file(work / "cut.zip", whole.substr(0, cut));
        RecordingSink sink;
        EXPECT_EQ(extract_into(work / "cut.zip", work / "out", sink), kResultCorruptArchive)
            << "cut at " << cut;
        EXPECT_TRUE(sink.files.empty()) << "cut at " << cut;
    }
}

TEST(ExtractDamaged, WhatIsNoArchiveIsRefusedWithoutSinkCalls) {
    TempDir work;
    write_file(work / "text.zip", "This is a text file, not an archive.\n");
    write_file(work / "empty.zip", "");
    for (const char* name : {"text.zip", "empty.zip", "missing.zip"}) {
        RecordingSink sink;
        EXPECT_EQ(extract_into(work / name, work / "out", sink), kResultCorruptArchive) << name;
        EXPECT_TRUE(sink.files.empty()) << name;
    }
}

TEST(ExtractDamaged, CrcMismatchStopsAfterEarlierEntriesWereHandedOver) {
    TempDir work;
    RecordingSink sink;
    EXPECT_EQ(extract_into(make_test_archive(work.path(), "bad-crc"), work / "out", sink),
              kResultCorruptArchive);
    ASSERT_EQ(sink.files.size(), 1u);
    EXPECT_EQ(sink.files[0].entryName, L"one.txt");
    EXPECT_TRUE(fs::exists(work / "out/one.txt"));
    EXPECT_FALSE(fs::exists(work / "out/two.txt")) << "damaged data was left on disk";
    EXPECT_FALSE(fs::exists(work / "out/three.txt"));
}

TEST(ExtractDamaged, Zip64ArchivesAndEntriesAreRefused) {
    TempDir work;
    for (const char* kind : {"zip64", "zip64-entry"}) {
        RecordingSink sink;
        EXPECT_EQ(extract_into(make_test_archive(work.path(), kind), work / kind, sink),
                  kResultCorruptArchive)
            << kind;
        EXPECT_TRUE(sink.files.empty()) << kind;
        EXPECT_FALSE(fs::exists(work / kind / "good.txt")) << kind;
    }
}

TEST(ExtractDamaged, EncryptedEntryIsRefusedAfterEarlierEntries) {
    TempDir work;
    RecordingSink sink;
    EXPECT_EQ(extract_into(make_test_archive(work.path(), "aes"), work / "out", sink),
              kResultCorruptArchive);
    ASSERT_EQ(sink.files.size(), 1u);
    EXPECT_EQ(sink.files[0].entryName, L"good.txt");
    EXPECT_FALSE(fs::exists(work / "out/secret.bin"));
}

class HostileName : public ::testing::TestWithParam<std::string> {};

TEST_P(HostileName, IsRefusedBeforeItWritesAnythingOutsideOrInside) {
    TempDir work;
    const fs::path archive = make_test_archive(work.path(), "traversal", GetParam());
    fs::create_directories(work / "deep/er/target");
    RecordingSink sink;
    EXPECT_EQ(extract_into(archive, work / "deep/er/target", sink), kResultCorruptArchive);
    ASSERT_EQ(sink.files.size(), 1u);
    EXPECT_EQ(sink.files[0].entryName, L"good.txt");
    std::size_t written = 0;
    for (const auto& item : fs::recursive_directory_iterator(work.path())) {
        written += item.is_regular_file() && item.path() != archive ? 1 : 0;
    }
    EXPECT_EQ(written, 1u) << "only good.txt may have been written";
    EXPECT_FALSE(fs::exists("/abs"));
}

INSTANTIATE_TEST_SUITE_P(ExtractDamaged, HostileName,
                         ::testing::Values("../x", "/abs", "C:\\x", "a/../../x", "..\\..\\x", "C:x",
                                           "a/b/../../../x"));

TEST(ExtractDamaged, FailingWriteEndsWithCorruptArchiveAndRemovesThePartialFile) {
    TempDir work;
    write_file(work / "source/small.txt", std::string(1000, 's'));
    write_file(work / "source/big.bin", std::string(400000, 'b'));
    write_file(work / "source/after.txt", "after");
    ASSERT_EQ(
        run_tool({"zip", "-q", (work / "a.zip").string(), "small.txt", "big.bin", "after.txt"},
                 work / "source"),
        0);
    RecordingSink sink;
    {
        FileSizeLimit limit(200000);
        EXPECT_EQ(extract_into(work / "a.zip", work / "out", sink), kResultCorruptArchive);
    }
    ASSERT_EQ(sink.files.size(), 1u);
    EXPECT_EQ(sink.files[0].entryName, L"small.txt");
    EXPECT_EQ(read_file(work / "out/small.txt"), std::string(1000, 's'));
    EXPECT_FALSE(fs::exists(work / "out/big.bin"));
    EXPECT_FALSE(fs::exists(work / "out/after.txt"));
}
