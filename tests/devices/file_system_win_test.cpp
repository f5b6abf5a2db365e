#include "service/devices/file_system_win.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <stdexcept>

#include <gtest/gtest.h>

#include "service/core/text.h"
#include "service/devices/local_disk.h"
#include "service/devices/path_helpers.h"
#include "service/zip/extract.h"
#include "tests/support/child_process.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

using namespace MapsService;
using namespace atlasync::testing;
namespace fs = std::filesystem;

namespace {

// A drive rooted in a fresh folder; drive paths below it use backslashes.
class LocalDrive : public ::testing::Test {
protected:
    std::wstring at(const std::wstring& relative) const { return join_path(root, relative); }

    // The folder lists exactly the one file, which holds all of size, and
    // sizedFolder sums to size.
    void expect_only_file_and_size(const std::wstring& folder, const std::wstring& onlyFile,
                                   const std::wstring& sizedFolder, std::uint64_t size) {
        std::vector<std::wstring> files;
        ASSERT_EQ(drive.fetch_filenames(at(folder), files), kResultOk);
        EXPECT_EQ(files, std::vector<std::wstring>{at(onlyFile)});
        std::vector<std::pair<std::wstring, std::uint64_t>> sized;
        ASSERT_EQ(drive.fetch_files(at(folder), sized), kResultOk);
        EXPECT_EQ(sized,
                  (std::vector<std::pair<std::wstring, std::uint64_t>>{{at(onlyFile), size}}));
        std::uint64_t sum = 0;
        ASSERT_EQ(drive.get_directory_size(at(sizedFolder), sum), kResultOk);
        EXPECT_EQ(sum, size);
    }

    TempDir work;
    std::wstring root = to_wide(work.path().string());
    FileSystemWin drive{root};
};

std::vector<std::wstring> sorted(std::vector<std::wstring> items) {
    std::sort(items.begin(), items.end());
    return items;
}

std::string text_of(const std::vector<std::uint8_t>& data) {
    return std::string(data.begin(), data.end());
}

}  // namespace

TEST_F(LocalDrive, ListingsNameFullPathsAndSkipDotFolders) {
    fs::create_directories(work / "cities/diskcache");
    fs::create_directories(work / "voices");
    fs::create_directories(work / ".trash");
    write_file(work / "qf", "q");
    write_file(work / ".hidden", "h");

    std::vector<DirectoryEntry> folders;
    ASSERT_EQ(drive.fetch_sub_directories(root, folders), kResultOk);
    std::vector<std::wstring> folderPaths;
    for (const DirectoryEntry& folder : folders) {
        EXPECT_EQ(folder.size(), -1);
        EXPECT_EQ(folder.owner(), &drive);
        folderPaths.push_back(folder.path());
    }
    EXPECT_EQ(sorted(folderPaths), (std::vector<std::wstring>{at(L"cities"), at(L"voices")}));

    std::vector<std::wstring> files;
    ASSERT_EQ(drive.get_root_directory().fetch_filenames(files), kResultOk);
    EXPECT_EQ(sorted(files), (std::vector<std::wstring>{at(L".hidden"), at(L"qf")}));

    ASSERT_EQ(drive.fetch_sub_directories(at(L"cities"), folders), kResultOk);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].path(), at(L"cities\\diskcache"));

    EXPECT_EQ(drive.fetch_sub_directories(at(L"missing"), folders), kResultFailed);
    EXPECT_TRUE(folders.empty());
    EXPECT_EQ(drive.fetch_filenames(at(L"missing"), files), kResultFailed);
    EXPECT_TRUE(files.empty());
    std::vector<std::pair<std::wstring, std::uint64_t>> sized{{at(L"qf"), 1}};
    EXPECT_EQ(drive.fetch_files(at(L"missing"), sized), kResultFailed);
    EXPECT_TRUE(sized.empty());
}

TEST_F(LocalDrive, WriteWithoutOverwriteKeepsTheFileWithOverwriteReplacesIt) {
    const std::wstring qf = at(L"private\\qf");
    fs::create_directories(work / "private");
    EXPECT_EQ(drive.write_file(qf, "first", 5, 0, false), kResultOk);
    EXPECT_EQ(drive.write_file(qf, "second", 6, 0, false), kResultFailed);
    std::vector<std::uint8_t> data;
    ASSERT_EQ(drive.read_file(qf, data), kResultOk);
    EXPECT_EQ(text_of(data), "first");
    EXPECT_EQ(drive.write_file(qf, "second", 6, 0, true), kResultOk);
    ASSERT_EQ(drive.read_file(qf, data), kResultOk);
    EXPECT_EQ(text_of(data), "second");

    EXPECT_EQ(drive.write_file(at(L"no\\such\\folder\\f"), "x", 1, 0, true), kResultDiskError);
    EXPECT_EQ(drive.read_file(at(L"missing"), data), kResultPhoneFileSystem);
    EXPECT_EQ(drive.read_file(at(L"private"), data), kResultPhoneFileSystem);
}

TEST_F(LocalDrive, FailedWriteLeavesThePreviousContentWhole) {
    // A full disk used to leave the settings file cut short where a whole one had been.
    write_file(work / "config.cfg", "the previous settings");
    const std::string big(300000, 'z');
    {
        FileSizeLimit limit(100000);
        EXPECT_EQ(drive.write_file(at(L"config.cfg"), big.data(),
                                   static_cast<std::uint32_t>(big.size()), 0, true),
                  kResultDiskError);
    }
    EXPECT_EQ(read_file(work / "config.cfg"), "the previous settings");
    EXPECT_EQ(std::distance(fs::directory_iterator(work.path()), fs::directory_iterator()), 1)
        << "no temporary file stays behind";
}

TEST_F(LocalDrive, CopyAndMoveReplaceFilesOfTheSameName) {
    TempDir pc;
    write_file(pc / "tile.dat", "new tile");
    write_file(work / "cache/tile.dat", "old tile");
    EXPECT_EQ(drive.copy_to_device(to_wide((pc / "tile.dat").string()), at(L"cache")), kResultOk);
    EXPECT_EQ(read_file(work / "cache/tile.dat"), "new tile");
    EXPECT_TRUE(fs::exists(pc / "tile.dat"));
    EXPECT_EQ(drive.copy_to_device(to_wide((pc / "missing").string()), at(L"cache")),
              kResultPhoneFull);

    write_file(work / "incoming/tile.dat", "newest tile");
    EXPECT_EQ(drive.move_file(at(L"incoming\\tile.dat"), at(L"cache")), kResultOk);
    EXPECT_EQ(read_file(work / "cache/tile.dat"), "newest tile");
    EXPECT_FALSE(fs::exists(work / "incoming/tile.dat"));
    EXPECT_EQ(drive.move_file(at(L"incoming\\tile.dat"), at(L"cache")), kResultPhoneFileSystem);

    write_file(work / "voices-old/en/v.dat", "v");
    EXPECT_EQ(drive.move_folder(at(L"voices-old"), at(L"voices")), kResultOk);
    EXPECT_EQ(read_file(work / "voices/en/v.dat"), "v");
    EXPECT_FALSE(fs::exists(work / "voices-old"));
}

TEST_F(LocalDrive, DeletingRemovesReadOnlyContentAndReportsWhatIsMissing) {
    write_file(work / "maps/locked/tile.dat", "t");
    chmod((work / "maps/locked/tile.dat").c_str(), 0444);
    chmod((work / "maps/locked").c_str(), 0555);
    EXPECT_EQ(drive.delete_directory(at(L"maps")), kResultOk);
    EXPECT_FALSE(fs::exists(work / "maps"));
    EXPECT_EQ(drive.delete_directory(at(L"maps")), kResultPhoneFileSystem);

    write_file(work / "f", "x");
    EXPECT_EQ(drive.delete_file(at(L"f")), kResultOk);
    EXPECT_EQ(drive.delete_file(at(L"f")), kResultPhoneFileSystem);
}

TEST_F(LocalDrive, DirectorySizeCountsFilesBelowAndSkipsDotEntries) {
    fs::create_directories(work / "empty");
    std::uint64_t size = 99;
    EXPECT_EQ(drive.get_directory_size(at(L"empty"), size), kResultOk);
    EXPECT_EQ(size, 0u);

    write_file(work / "maps/a.dat", std::string(100, 'a'));
    write_file(work / "maps/sub/deeper/b.dat", std::string(23, 'b'));
    write_file(work / "maps/.hidden.dat", std::string(1000, 'h'));
    write_file(work / "maps/.cache/c.dat", std::string(1000, 'c'));
    fs::create_symlink(work.path(), work / "maps/sub/loop");
    EXPECT_EQ(drive.get_directory_size(at(L"maps"), size), kResultOk);
    EXPECT_EQ(size, 123u);
    EXPECT_EQ(DirectoryEntry(at(L"maps"), &drive, true).size(), 123);

    EXPECT_EQ(drive.get_directory_size(at(L"missing"), size), kResultPhoneFileSystem);
}

TEST_F(LocalDrive, SizesTimesAndExistenceOfFilesAndFolders) {
    write_file(work / "f.dat", "12345");
    const timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (work / "f.dat").c_str(), times, 0), 0);

    FileTimes fileTimes;
    ASSERT_EQ(drive.get_time(at(L"f.dat"), fileTimes), kResultOk);
    EXPECT_EQ(fileTimes.lastAccess, 1000000000);
    EXPECT_EQ(fileTimes.lastWrite, 1200000000);
    EXPECT_GT(fileTimes.creation, 1200000000) << "made now, whatever its stamps say";
    EXPECT_EQ(drive.get_time(root, fileTimes), kResultOk);
    EXPECT_EQ(drive.get_time(at(L"missing"), fileTimes), kResultPhoneFileSystem);

    std::uint64_t size = 0;
    EXPECT_EQ(drive.get_file_size(at(L"f.dat"), size), kResultOk);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(drive.get_file_size(at(L"missing"), size), kResultPhoneFileSystem);

    EXPECT_TRUE(drive.file_exists(at(L"f.dat")));
    EXPECT_FALSE(drive.file_exists(root));
    EXPECT_TRUE(drive.directory_exists(root));
    EXPECT_FALSE(drive.directory_exists(at(L"f.dat")));
    EXPECT_FALSE(drive.file_exists(at(L"missing")));
}

TEST_F(LocalDrive, VolumeFiguresComeFromTheRootsVolume) {
    EXPECT_EQ(drive.connection_kind(), 4);
    EXPECT_EQ(drive.get_memory_type(), L"MMC");
    EXPECT_EQ(drive.get_root_directory().path(), root);
    EXPECT_FALSE(drive.is_write_protected());
    EXPECT_GT(drive.total_space_bytes(), 0);
    EXPECT_GE(drive.free_space_bytes(), 0);
    EXPECT_LE(drive.free_space_bytes(), drive.total_space_bytes());

    FileSystemWin gone(at(L"no-such-volume"));
    EXPECT_TRUE(gone.is_write_protected());
    EXPECT_EQ(gone.total_space_bytes(), -1);
    EXPECT_EQ(gone.free_space_bytes(), -1);
}

TEST_F(LocalDrive, UnzipArchiveReportsTheBytesAndTurnsASinkFailureIntoDiskError) {
    write_file(work / "src/a.txt", "alpha");
    write_file(work / "src/b/c.txt", "charlie");
    std::string output;
    ASSERT_EQ(run_program("/usr/bin/zip", {"-q", "-r", (work / "a.zip").string(), "."}, &output,
                          work / "src"),
              0);

    class ThrowingSink : public ExtractionSink {
    public:
        Result on_file_extracted(const std::wstring& name, const std::wstring&) override {
            names.push_back(name);
            if (throwOnFile) {
                throw std::runtime_error("copy step failed");
            }
            return kResultOk;
        }
        void on_unzip_progress(std::uint64_t) override {}
        std::vector<std::wstring> names;
        bool throwOnFile = false;
    } sink;

    std::uint64_t bytes = 0;
    EXPECT_EQ(drive.unzip_archive(at(L"a.zip"), at(L"work\\unzip"), sink, bytes), kResultOk);
    EXPECT_EQ(bytes, 12u);
    EXPECT_EQ(sorted(sink.names), (std::vector<std::wstring>{L"a.txt", L"b\\c.txt"}));
    EXPECT_EQ(read_file(work / "work/unzip/b/c.txt"), "charlie");

    sink.throwOnFile = true;
    EXPECT_EQ(drive.unzip_archive(at(L"a.zip"), at(L"work\\again"), sink, bytes), kResultDiskError);
    EXPECT_GT(bytes, 0u);
}

// Links to folders were listed as folders, so wipes and sizes went into their targets.
TEST_F(LocalDrive, LinksAreNeitherListedNorSizedNorEnteredAndAreRemovedAsLinks) {
    TempDir outside;
    write_file(outside / "keep.txt", "users file");
    write_file(outside / "sub/deep.txt", "users other file");
    write_file(work / "voices/english/v.dat", "voice");
    fs::create_symlink(outside.path(), work / "voices/linked");
    fs::create_symlink(outside.path(), work / "voices/english/inner");
    fs::create_symlink(outside / "keep.txt", work / "voices/english/keep.txt");

    std::vector<DirectoryEntry> folders;
    ASSERT_EQ(drive.fetch_sub_directories(at(L"voices"), folders), kResultOk);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].path(), at(L"voices\\english"));
    expect_only_file_and_size(L"voices\\english", L"voices\\english\\v.dat", L"voices", 5);

    // Through a link nothing is found, read, made or written.
    const std::wstring linked = at(L"voices\\linked");
    std::vector<std::wstring> files;
    std::vector<std::uint8_t> data;
    std::uint64_t size = 0;
    EXPECT_FALSE(drive.directory_exists(linked));
    EXPECT_FALSE(drive.file_exists(at(L"voices\\english\\keep.txt")));
    EXPECT_EQ(drive.fetch_filenames(linked, files), kResultFailed);
    EXPECT_EQ(drive.read_file(join_path(linked, L"keep.txt"), data), kResultPhoneFileSystem);
    EXPECT_EQ(drive.get_file_size(join_path(linked, L"keep.txt"), size), kResultPhoneFileSystem);
    EXPECT_EQ(drive.get_directory_size(linked, size), kResultPhoneFileSystem);
    EXPECT_EQ(drive.create_directory(join_path(linked, L"new")), kResultPhoneFileSystem);
    EXPECT_EQ(drive.write_file(join_path(linked, L"new.txt"), "x", 1, 0, true), kResultDiskError);
    EXPECT_EQ(drive.copy_to_device(at(L"voices\\english\\v.dat"), linked), kResultPhoneFull);
    EXPECT_EQ(drive.delete_file(join_path(linked, L"keep.txt")), kResultPhoneFileSystem);
    EXPECT_TRUE(drive.directory_exists(at(L"voices\\english\\..\\english")));
    EXPECT_EQ(drive.create_directory(at(L"new\\..\\..\\escaped")), kResultPhoneFileSystem);
    EXPECT_FALSE(fs::exists(work.path().parent_path() / "escaped"));

    EXPECT_EQ(drive.delete_directory(linked), kResultOk);
    EXPECT_EQ(drive.delete_directory(at(L"voices")), kResultOk);
    EXPECT_FALSE(fs::exists(fs::symlink_status(work / "voices")));
    EXPECT_EQ(read_file(outside / "keep.txt"), "users file");
    EXPECT_EQ(read_file(outside / "sub/deep.txt"), "users other file");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), fs::directory_iterator()), 2);
}

// A FIFO counted as a file: opening it to read or size it blocked the worker for good.
TEST_F(LocalDrive, SpecialFilesAreSkippedByListingsAndRefusedByReadsAndSizes) {
    write_file(work / "maps/tile.dat", "tile");
    ASSERT_EQ(mkfifo((work / "maps/fifo").c_str(), 0600), 0);
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (work / "maps/socket").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    expect_only_file_and_size(L"maps", L"maps\\tile.dat", L"maps", 4);

    for (const wchar_t* name : {L"maps\\fifo", L"maps\\socket"}) {
        EXPECT_FALSE(drive.file_exists(at(name))) << name;
        // Should an open block, a writer arriving after the deadline releases it.
        auto attempt = std::async(std::launch::async, [&] {
            std::vector<std::uint8_t> data;
            std::uint64_t bytes = 0;
            return std::make_pair(drive.read_file(at(name), data),
                                  platform_get_file_size(at(name), bytes));
        });
        if (attempt.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
            ADD_FAILURE() << "reading the special file blocked";
            const int unblock = ::open((work / "maps/fifo").c_str(), O_WRONLY | O_NONBLOCK);
            attempt.wait();
            ::close(unblock);
        }
        EXPECT_EQ(attempt.get(), std::make_pair(kResultPhoneFileSystem, kResultFailed)) << name;
    }
    ::close(listener);
    EXPECT_EQ(drive.delete_directory(at(L"maps")), kResultOk);
}
