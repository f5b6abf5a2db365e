#include <gtest/gtest.h>

#include <filesystem>

#include "service/content/delete_package.h"
#include "service/content/maps_bucket.h"
#include "service/content/phone_drive.h"
#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/devices/file_system_win.h"
#include "tests/content/drive_fixture.h"

namespace {

using namespace MapsService;
using atlasync::testing::drain_messages;
using atlasync::testing::drive_path;
using atlasync::testing::LocalDrive;
using atlasync::testing::put_file;
using atlasync::testing::take_messages;
using atlasync::testing::TempDir;
namespace fs = std::filesystem;

class DeletePackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        put_file(dir / "qf",
                 "format:QF\nclient_id:qtvmaps2.0\nquota:1\ndiskcache:cities\\diskcache\n"
                 "voicefiles:cities\\voices\n");
        put_file(dir / "cities/diskcache/config.cfg", std::string(32, '\0'));
        put_file(dir / "gone/a/b/one.bin", std::string(100, 'x'));
        put_file(dir / "gone/two.bin", std::string(50, 'x'));
        put_file(dir / "emptied/three.bin", std::string(10, 'x'));
        put_file(dir / "emptied/sub/four.bin", std::string(20, 'x'));
        put_file(dir / "tiles/t.cdt", std::string(5, 'x'));
        put_file(dir / "tiles/A/u.cdt", std::string(5, 'x'));
        put_file(dir / "tiles/A/deep/v.cdt", std::string(5, 'x'));
        put_file(dir / "file.bin", std::string(15, 'x'));
        drain_messages();
    }
    std::wstring path(const std::string& relative) { return drive_path(dir.path(), relative); }

    TempDir dir;
};

TEST_F(DeletePackageTest, FourKindsRemoveWhatTheySayWithByteProgress) {
    LocalDrive local(dir.path());
    DeletePackage package(*local.drive);
    ASSERT_EQ(package.add_folder(DeleteKind::RemoveFolder, path("gone")), kResultOk);
    ASSERT_EQ(package.add_folder(DeleteKind::EmptyFolder, path("emptied")), kResultOk);
    ASSERT_EQ(package.add_folder(DeleteKind::TileFolder, path("tiles")), kResultOk);
    ASSERT_EQ(package.add_folder(DeleteKind::TileFolder, path("no/such/folder")), kResultOk);
    ASSERT_EQ(package.add_file(path("file.bin")), kResultOk);
    EXPECT_EQ(package.items()[0].size, 150u);
    EXPECT_EQ(package.items()[2].size, 15u);
    EXPECT_EQ(package.items()[3].size, 0u);

    ASSERT_EQ(package.delete_all(), kResultOk);
    EXPECT_FALSE(fs::exists(dir / "gone"));
    EXPECT_TRUE(fs::is_directory(dir / "emptied"));
    EXPECT_TRUE(fs::is_empty(dir / "emptied"));
    EXPECT_TRUE(fs::is_directory(dir / "tiles/A"));
    EXPECT_FALSE(fs::exists(dir / "tiles/t.cdt"));
    EXPECT_FALSE(fs::exists(dir / "tiles/A/u.cdt"));
    EXPECT_TRUE(fs::exists(dir / "tiles/A/deep/v.cdt"));  // only direct subfolders
    EXPECT_FALSE(fs::exists(dir / "file.bin"));

    const auto messages = take_messages();
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(messages.front().kind, PACKAGE_STARTED);
    EXPECT_EQ(messages.front().bytes1, 210u);
    EXPECT_EQ(messages.back().kind, PACKAGE_FINISHED);
    EXPECT_EQ(messages.back().bytes1, 205u);  // the deeper tile file stays
    // Once, as the first file goes.
    EXPECT_EQ(messages[1].type, MSG_MAPS_INCOMPLETE);
    EXPECT_EQ(messages[1].drive, local.drive.get());
    double last = 0;
    for (std::size_t i = 2; i + 1 < messages.size(); ++i) {
        EXPECT_EQ(messages[i].type, MSG_DELETE_PROGRESS);
        EXPECT_EQ(messages[i].kind, ITEM_PROGRESS);
        EXPECT_GE(messages[i].percent1, last);
        last = messages[i].percent1;
    }
    EXPECT_LE(last, 100.0);
}

TEST_F(DeletePackageTest, EmptyTotalReportsOneHundredPercent) {
    LocalDrive local(dir.path());
    DeletePackage package(*local.drive);
    ASSERT_EQ(package.add_folder(DeleteKind::TileFolder, path("missing")), kResultOk);
    ASSERT_EQ(package.delete_all(), kResultOk);
    const auto messages = take_messages();
    ASSERT_EQ(messages.size(), 2u);  // nothing removed: the maps are as they were
    EXPECT_EQ(messages.back().kind, PACKAGE_FINISHED);
    EXPECT_EQ(messages.back().percent1, 100.0);
}

TEST_F(DeletePackageTest, CancellationEndsEveryRemainingItemWithTwo) {
    LocalDrive local(dir.path());
    DeletePackage package(*local.drive);
    ASSERT_EQ(package.add_file(path("file.bin")), kResultOk);
    ASSERT_EQ(package.add_folder(DeleteKind::RemoveFolder, path("gone")), kResultOk);
    service_cancel_flag().set();
    const Result result = package.delete_all();
    service_cancel_flag().reset();
    EXPECT_EQ(result, kResultCancelled);
    EXPECT_TRUE(fs::exists(dir / "file.bin"));
    EXPECT_TRUE(fs::exists(dir / "gone/two.bin"));
    EXPECT_EQ(take_messages().back().result, kResultCancelled);
}

// The local file system with one induced fault: the phone refuses to delete
// one file (as a phone does for a file in use), which no local folder does for root.
class RefusingFileSystem : public FileSystemWin {
public:
    using FileSystemWin::FileSystemWin;
    Result delete_file(const std::wstring& path) override {
        if (path.ends_with(L"two.bin")) {
            return kResultPhoneFileSystem;
        }
        return FileSystemWin::delete_file(path);
    }
};

TEST_F(DeletePackageTest, AnEarlierFailureIsNotHiddenByALaterSuccess) {
    Phone phone(L"phone", L"1");
    PhoneDrive drive(&phone, std::make_unique<RefusingFileSystem>(to_wide(dir.path().string())),
                     true);
    drive.load_map_settings();
    drive.set_connected(true);
    DeletePackage package(drive);
    ASSERT_EQ(package.add_folder(DeleteKind::RemoveFolder, path("gone")), kResultOk);
    ASSERT_EQ(package.add_file(path("file.bin")), kResultOk);
    EXPECT_EQ(package.delete_all(), kResultPhoneFileSystem);
    EXPECT_TRUE(fs::exists(dir / "gone/two.bin"));
    EXPECT_FALSE(fs::exists(dir / "gone/a/b/one.bin"));  // removed before the refusal
    EXPECT_FALSE(fs::exists(dir / "file.bin"));          // later items still run
}

TEST_F(DeletePackageTest, BucketWipesTheDiskCacheAndTheVoices) {
    put_file(dir / "cities/diskcache/0/1/0123.cdt", "tile");
    put_file(dir / "cities/diskcache/ClientIndex/c.idx", "idx");
    put_file(dir / "cities/diskcache/CachedatHeader.cdt", "hdr");
    put_file(dir / "cities/voices/english/config.xml", "<v/>");
    LocalDrive local(dir.path());
    MapsBucket& bucket = local.drive->maps_bucket();
    ASSERT_EQ(bucket.empty_diskcache(), kResultOk);
    EXPECT_FALSE(fs::exists(dir / "cities/diskcache/0/1/0123.cdt"));
    EXPECT_TRUE(fs::is_directory(dir / "cities/diskcache/ClientIndex"));
    EXPECT_FALSE(fs::exists(dir / "cities/diskcache/ClientIndex/c.idx"));
    EXPECT_FALSE(fs::exists(dir / "cities/diskcache/CachedatHeader.cdt"));
    EXPECT_TRUE(fs::exists(dir / "cities/voices/english/config.xml"));
    ASSERT_EQ(bucket.delete_all(), kResultOk);
    EXPECT_FALSE(fs::exists(dir / "cities/voices/english"));
    // What is left under the maps root: config.cfg and the voices folder.
    std::uint64_t size = 0;
    ASSERT_EQ(bucket.get_content_size(size), kResultOk);
    EXPECT_EQ(size, 32u);
    EXPECT_EQ(local.drive->map_settings() != nullptr, true);
}

}  // namespace
