#include "service/devices/file_system.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "service/devices/path_helpers.h"
#include "tests/support/temp_dir.h"

using namespace MapsService;
using namespace atlasync::testing;
namespace fs = std::filesystem;

namespace {

// The local file system with the algorithms every file system inherits unless
// it has better ones of its own, which the local one has.
class InheritingFileSystem : public FileSystemWin {
public:
    using FileSystemWin::FileSystemWin;
    Result get_directory_size(const std::wstring& path, std::uint64_t& size) override {
        return FileSystem::get_directory_size(path, size);
    }
    Result move_file(const std::wstring& source, const std::wstring& target) override {
        return FileSystem::move_file(source, target);
    }
    Result move_folder(const std::wstring& source, const std::wstring& target) override {
        return FileSystem::move_folder(source, target);
    }
};

class InheritedAlgorithms : public ::testing::Test {
protected:
    std::wstring at(const std::wstring& relative) const { return join_path(root, relative); }

    TempDir work;
    std::wstring root = to_wide(work.path().string());
    InheritingFileSystem drive{root};
};

}  // namespace

TEST_F(InheritedAlgorithms, MoveFolderMovesEverythingAndLeavesTheSourceEmpty) {
    write_file(work / "old/a.dat", "a");
    write_file(work / "old/sub/b.dat", "b");
    write_file(work / "old/sub/deeper/c.dat", "c");
    ASSERT_EQ(drive.move_folder(at(L"old"), at(L"new")), kResultOk);
    EXPECT_EQ(read_file(work / "new/a.dat"), "a");
    EXPECT_EQ(read_file(work / "new/sub/b.dat"), "b");
    EXPECT_EQ(read_file(work / "new/sub/deeper/c.dat"), "c");
    EXPECT_TRUE(fs::is_directory(work / "old"));
    EXPECT_TRUE(fs::is_empty(work / "old"));
}

TEST_F(InheritedAlgorithms, MoveFileNeedsASourceAndKeepsItWhenTheCopyFails) {
    EXPECT_EQ(drive.move_file(at(L"missing"), at(L"target")), kResultFailed);
    write_file(work / "a.dat", "a");
    EXPECT_EQ(drive.move_file(at(L"a.dat"), at(L"no\\such\\folder")), kResultPhoneFull);
    EXPECT_TRUE(fs::exists(work / "a.dat"));
    fs::create_directories(work / "target");
    EXPECT_EQ(drive.move_file(at(L"a.dat"), at(L"target")), kResultOk);
    EXPECT_FALSE(fs::exists(work / "a.dat"));
    EXPECT_EQ(read_file(work / "target/a.dat"), "a");
}

TEST_F(InheritedAlgorithms, DirectorySizeSumsTheTreeAndKeepsThePartialSumOnFailure) {
    write_file(work / "maps/a.dat", std::string(10, 'a'));
    write_file(work / "maps/sub/b.dat", std::string(5, 'b'));
    std::uint64_t size = 0;
    EXPECT_EQ(drive.get_directory_size(at(L"maps"), size), kResultOk);
    EXPECT_EQ(size, 15u);
    EXPECT_EQ(drive.get_directory_size(at(L"missing"), size), kResultFailed);
    EXPECT_EQ(size, 0u);
}

TEST(FileSystem, ApplicationOperationsAreNotSupportedByDefault) {
    TempDir work;
    FileSystemWin drive(to_wide(work.path().string()));
    std::vector<std::wstring> names;
    EXPECT_EQ(drive.get_installed_applications(names), kResultFailed);
    EXPECT_FALSE(drive.installs_applications());
}
