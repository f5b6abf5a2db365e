#include "service/devices/local_disk.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "service/core/text.h"
#include "tests/support/temp_dir.h"

using namespace MapsService;
using namespace atlasync::testing;
namespace fs = std::filesystem;

namespace {

std::wstring wide(const fs::path& path) {
    return to_wide(path.string());
}

mode_t mode_of(const fs::path& path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

}  // namespace

TEST(LocalDisk, CreateDirectoryMakesParentsAcceptsExistingAndRefusesAFileInTheWay) {
    TempDir work;
    EXPECT_EQ(platform_create_directory(wide(work.path()) + L"\\a\\b\\c"), kResultOk);
    EXPECT_TRUE(fs::is_directory(work / "a/b/c"));
    EXPECT_EQ(platform_create_directory(wide(work / "a/b/c")), kResultOk);

    write_file(work / "file", "x");
    // A file holding the name is no folder, whatever the operating system calls it.
    EXPECT_EQ(platform_create_directory(wide(work / "file")), kResultDiskError);
    EXPECT_EQ(platform_create_directory(wide(work / "file/below")), kResultDiskError);

    EXPECT_EQ(platform_create_directory(wide(work.path()) + L"/" + std::wstring(PATH_MAX, L'n')),
              kResultFailed);

    ScopedWorkingDirectory cwd(work.path());
    EXPECT_EQ(platform_create_directory(L"relative\\folder"), kResultOk);
    EXPECT_TRUE(fs::is_directory(work / "relative/folder"));
}

TEST(LocalDisk, FileSizeIsReadAndAMissingFileFails) {
    TempDir work;
    write_file(work / "five", "12345");
    std::uint64_t size = 0;
    EXPECT_EQ(platform_get_file_size(wide(work / "five"), size), kResultOk);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(platform_get_file_size(wide(work / "missing"), size), kResultFailed);
}

TEST(LocalDisk, DeleteTreeRemovesReadOnlyEntriesButNeverFollowsLinks) {
    TempDir work;
    write_file(work / "tree/read-only.txt", "r");
    write_file(work / "tree/locked/inner.txt", "i");
    write_file(work / "outside/keep.txt", "k");
    fs::create_symlink(work / "outside", work / "tree/link-to-outside");
    chmod((work / "tree/read-only.txt").c_str(), 0444);
    chmod((work / "tree/locked").c_str(), 0555);
    chmod((work / "tree").c_str(), 0555);

    EXPECT_EQ(delete_tree(wide(work / "tree")), kResultOk);
    EXPECT_FALSE(fs::exists(fs::symlink_status(work / "tree")));
    EXPECT_EQ(read_file(work / "outside/keep.txt"), "k");
    EXPECT_EQ(delete_tree(wide(work / "tree")), kResultFailed);
}

TEST(LocalDisk, TemporaryFolderIsPrivateToTheUserAndRefusedWhenPlanted) {
    TempDir work;
    ScopedVariable tmp("TMPDIR", work.path().string());
    const fs::path root = work / ("atlasync-" + std::to_string(getuid()));

    std::wstring path;
    EXPECT_EQ(create_temp_directory(L"maps_installer", path), kResultOk);
    EXPECT_EQ(path, wide(root / "maps_installer"));
    EXPECT_TRUE(fs::is_directory(root / "maps_installer"));
    EXPECT_EQ(mode_of(root), 0700u);

    chmod(root.c_str(), 0777);
    EXPECT_EQ(create_temp_directory(L"again", path), kResultOk);
    EXPECT_EQ(mode_of(root), 0700u) << "a loosened folder is made private again";

    // Someone else's link in its place must not lead our work elsewhere.
    fs::remove_all(root);
    fs::create_directories(work / "elsewhere");
    fs::create_symlink(work / "elsewhere", root);
    EXPECT_EQ(create_temp_directory(L"job", path), kResultDiskError);
    EXPECT_FALSE(fs::exists(work / "elsewhere/job"));

    if (getuid() == 0) {
        fs::remove(root);
        fs::create_directory(root);
        ASSERT_EQ(chown(root.c_str(), 65534, 65534), 0);
        EXPECT_EQ(create_temp_directory(L"job", path), kResultDiskError);
        EXPECT_FALSE(fs::exists(root / "job"));
    }
}
