#include <sys/stat.h>

#include <gtest/gtest.h>

#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/zip/extract.h"
#include "tests/support/temp_dir.h"
#include "tests/zip/archive_fixtures.h"

using namespace atlasync::testing;
using MapsService::kResultCancelled;
using MapsService::kResultOk;

namespace {

const char* const kMakeWithPython = R"(
import os, sys, zipfile
source, archive = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive, 'w', zipfile.ZIP_DEFLATED) as z:
    for folder, dirs, files in sorted(os.walk(source)):
        for name in sorted(dirs) + sorted(files):
            path = os.path.join(folder, name)
            z.write(path, os.path.relpath(path, source))
)";

// Makes an archive of the folder with one of the tools users' archives come from.
fs::path make_archive_with(const std::string& tool, const fs::path& source, const fs::path& out) {
    const fs::path archive = out / (tool + ".zip");
    int status = -1;
    if (tool == "zip") {
        status = run_tool({"zip", "-q", "-r", archive.string(), "."}, source);
    } else if (tool == "python") {
        status = run_tool({"python3", "-c", kMakeWithPython, source.string(), archive.string()});
    } else if (tool == "bsdtar") {
        status = run_tool(
            {"bsdtar", "--format", "zip", "-cf", archive.string(), "-C", source.string(), "."});
    }
    EXPECT_EQ(status, 0) << tool;
    return archive;
}

std::wstring drive_form(const std::string& relative) {
    std::wstring name = MapsService::to_wide(relative);
    for (wchar_t& c : name) {
        c = c == L'/' ? L'\\' : c;
    }
    return name;
}

std::uint64_t total_size(const std::map<std::string, std::string>& tree) {
    std::uint64_t total = 0;
    for (const auto& [name, content] : tree) {
        total += content.size();
    }
    return total;
}

void expect_progress_in_blocks(const std::vector<std::uint64_t>& progress, std::uint64_t total) {
    std::uint64_t previous = 0;
    for (std::uint64_t value : progress) {
        EXPECT_GT(value, previous);
        EXPECT_LE(value - previous, MapsService::kExtractBlockSize);
        previous = value;
    }
    EXPECT_EQ(previous, total);
}

struct CancelFlagReset {
    ~CancelFlagReset() { MapsService::service_cancel_flag().reset(); }
};

class ArchiveFromTool : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(ArchiveFromTool, ExtractsByteIdenticallyToInfoZipAndHandsEveryFileOver) {
    TempDir work;
    write_sample_tree(work / "source");
    const fs::path archive = make_archive_with(GetParam(), work / "source", work.path());
    ASSERT_EQ(run_tool({"unzip", "-q", "-o", archive.string(), "-d", (work / "unzip").string()}),
              0);

    RecordingSink sink;
    std::uint64_t bytes = 0;
    ASSERT_EQ(extract_into(archive, work / "ours", sink, &bytes), kResultOk);

    const auto expected = read_tree(work / "unzip");
    EXPECT_EQ(read_tree(work / "ours"), expected);
    ASSERT_EQ(sink.files.size(), expected.size());
    for (const RecordingSink::Extracted& file : sink.files) {
        const std::string relative =
            fs::relative(MapsService::to_narrow(file.path), work / "ours").generic_string();
        ASSERT_EQ(expected.count(relative), 1u) << relative;
        EXPECT_EQ(file.entryName, drive_form(relative));
        EXPECT_EQ(file.content, expected.at(relative)) << "handed over before it was complete";
    }
    EXPECT_EQ(bytes, total_size(expected));
    expect_progress_in_blocks(sink.progress, bytes);
}

INSTANTIATE_TEST_SUITE_P(Extract, ArchiveFromTool, ::testing::Values("zip", "python", "bsdtar"));

TEST(Extract, StoredAndDeflatedCopiesGiveIdenticalFilesAndProgress) {
    TempDir work;
    write_sample_tree(work / "source");
    // -D: no folder entries, so every folder must be made on the way to its files.
    ASSERT_EQ(run_tool({"zip", "-q", "-r", "-D", "-0", (work / "stored.zip").string(), "."},
                       work / "source"),
              0);
    ASSERT_EQ(
        run_tool({"zip", "-q", "-r", "-9", (work / "deflated.zip").string(), "."}, work / "source"),
        0);
    RecordingSink stored;
    RecordingSink deflated;
    ASSERT_EQ(extract_into(work / "stored.zip", work / "stored", stored), kResultOk);
    ASSERT_EQ(extract_into(work / "deflated.zip", work / "deflated", deflated), kResultOk);
    EXPECT_EQ(read_tree(work / "stored"), read_tree(work / "source"));
    EXPECT_EQ(read_tree(work / "deflated"), read_tree(work / "source"));
    ASSERT_FALSE(stored.progress.empty());
    EXPECT_EQ(stored.progress.back(), deflated.progress.back());
    EXPECT_EQ(stored.progress.back(), total_size(read_tree(work / "source")));
}

TEST(Extract, FolderEntriesCreateNothingAndCallTheSinkNever) {
    TempDir work;
    RecordingSink sink;
    EXPECT_EQ(extract_into(make_test_archive(work.path(), "dirs-only"), work / "out", sink),
              kResultOk);
    EXPECT_TRUE(sink.files.empty());
    EXPECT_TRUE(sink.progress.empty());
    EXPECT_FALSE(fs::exists(work / "out" / "maps"));
}

TEST(Extract, BackslashesSeparateAndDotComponentsVanish) {
    TempDir work;
    RecordingSink sink;
    ASSERT_EQ(extract_into(make_test_archive(work.path(), "backslash-names"), work / "out", sink),
              kResultOk);
    EXPECT_EQ(read_file(work / "out/cities/diskcache/tile.dat"), "tile\n");
    EXPECT_EQ(read_file(work / "out/voices/en/voice.dat"), "voice\n");
    ASSERT_EQ(sink.files.size(), 2u);
    EXPECT_EQ(sink.files[0].entryName, L"cities\\diskcache\\tile.dat");
    EXPECT_EQ(sink.files[1].entryName, L"voices\\en\\voice.dat");
}

TEST(Extract, EmptyTargetFolderMeansTheWorkingFolder) {
    TempDir work;
    const fs::path archive = make_test_archive(work.path(), "backslash-names");
    fs::create_directories(work / "cwd");
    ScopedWorkingDirectory cwd(work / "cwd");
    RecordingSink sink;
    ASSERT_EQ(extract_into(archive, "", sink), kResultOk);
    EXPECT_EQ(read_file(work / "cwd/cities/diskcache/tile.dat"), "tile\n");
}

TEST(Extract, CancellingDuringTheFirstEntryFinishesItHandsItOverAndReturnsCancelled) {
    CancelFlagReset reset;
    TempDir work;
    write_sample_tree(work / "source");
    ASSERT_EQ(run_tool({"zip", "-q", (work / "a.zip").string(),
                        "cities/diskcache/00/three-blocks.tile", "readme.txt"},
                       work / "source"),
              0);
    RecordingSink sink;
    sink.cancelOnFirstProgress = true;
    EXPECT_EQ(extract_into(work / "a.zip", work / "out", sink), kResultCancelled);
    ASSERT_EQ(sink.files.size(), 1u);
    EXPECT_EQ(sink.files[0].content,
              read_file(work / "source/cities/diskcache/00/three-blocks.tile"));
    EXPECT_GT(sink.progress.size(), 1u) << "the first entry went on after the flag was set";
    EXPECT_FALSE(fs::exists(work / "out/readme.txt"));
}

TEST(Extract, SinkRefusalStopsAfterTheCurrentEntryWithTheSinksCode) {
    TempDir work;
    write_sample_tree(work / "source");
    ASSERT_EQ(run_tool({"zip", "-q", (work / "a.zip").string(), "readme.txt", "empty.dat"},
                       work / "source"),
              0);
    RecordingSink sink;
    sink.failAt = 0;
    sink.failCode = MapsService::kResultPhoneFull;
    EXPECT_EQ(extract_into(work / "a.zip", work / "out", sink), MapsService::kResultPhoneFull);
    EXPECT_EQ(sink.files.size(), 1u);
    EXPECT_FALSE(fs::exists(work / "out/empty.dat"));
}

TEST(Extract, LinksAreNeverCreatedNorFollowedAndExistingFilesAreReplaced) {
    TempDir work;
    write_file(work / "source/readme.txt", "from the archive\n");
    write_file(work / "source/hard.txt", "also from the archive\n");
    fs::create_symlink("../outside/victim.txt", work / "source/link");
    // -y stores the link itself rather than what it points to.
    ASSERT_EQ(
        run_tool({"zip", "-q", "-y", (work / "a.zip").string(), "readme.txt", "link", "hard.txt"},
                 work / "source"),
        0);
    write_file(work / "outside/victim.txt", "must stay\n");
    fs::create_directories(work / "out");
    fs::create_symlink(work / "outside/victim.txt", work / "out/readme.txt");
    write_file(work / "outside/other.txt", "must stay too\n");
    fs::create_hard_link(work / "outside/other.txt", work / "out/hard.txt");

    RecordingSink sink;
    ASSERT_EQ(extract_into(work / "a.zip", work / "out", sink), kResultOk);
    EXPECT_EQ(read_file(work / "outside/victim.txt"), "must stay\n");
    EXPECT_EQ(read_file(work / "outside/other.txt"), "must stay too\n");
    EXPECT_EQ(read_file(work / "out/hard.txt"), "also from the archive\n");
    EXPECT_FALSE(fs::is_symlink(work / "out/readme.txt"));
    EXPECT_EQ(read_file(work / "out/readme.txt"), "from the archive\n");
    EXPECT_FALSE(fs::is_symlink(work / "out/link"));
    EXPECT_EQ(read_file(work / "out/link"), "../outside/victim.txt");

    write_file(work / "out/readme.txt", "changed since");
    ASSERT_EQ(extract_into(work / "a.zip", work / "out", sink), kResultOk);
    EXPECT_EQ(read_file(work / "out/readme.txt"), "from the archive\n");
}

TEST(UncompressedSize, SumsTheRecordedSizesAndIsZeroForWhatIsNoArchive) {
    TempDir work;
    write_sample_tree(work / "source");
    const fs::path archive = make_archive_with("zip", work / "source", work.path());
    EXPECT_EQ(MapsService::uncompressed_size(MapsService::to_wide(archive.string())),
              total_size(read_tree(work / "source")));
    write_file(work / "text.zip", "not an archive");
    EXPECT_EQ(MapsService::uncompressed_size(MapsService::to_wide((work / "text.zip").string())),
              0u);
    EXPECT_EQ(MapsService::uncompressed_size(L"/no/such/archive.zip"), 0u);
}

TEST(Extract, EntriesNamedAsTheWorkFileKeepTheirContentAndNoWorkNameIsLeft) {
    // The work names are ones every card accepts; entries may take them too.
    TempDir work;
    const char* const kMake = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for name in ['a.txt', '.extracting.work', 'b.txt', '.extracting-1.work', 'c.txt']:
        z.writestr(name, 'content of ' + name)
)";
    const fs::path archive = work / "work-names.zip";
    ASSERT_EQ(run_tool({"python3", "-c", kMake, archive.string()}), 0);
    RecordingSink sink;
    ASSERT_EQ(extract_into(archive, work / "out", sink), kResultOk);
    std::map<std::string, std::string> expected;
    for (const char* name : {"a.txt", ".extracting.work", "b.txt", ".extracting-1.work", "c.txt"}) {
        expected[name] = std::string("content of ") + name;
    }
    EXPECT_EQ(read_tree(work / "out"), expected);
    EXPECT_EQ(sink.files.size(), 5u);
}

TEST(UncompressedSize, EachEntryRoundedUpToTheUnitGiven) {
    TempDir work;
    write_sample_tree(work / "source");
    const fs::path archive = make_archive_with("zip", work / "source", work.path());
    std::uint64_t rounded = 0;
    for (const auto& [name, content] : read_tree(work / "source")) {
        rounded += (content.size() + 4095) / 4096 * 4096;
    }
    EXPECT_EQ(MapsService::uncompressed_size(MapsService::to_wide(archive.string()), 4096),
              rounded);
}
