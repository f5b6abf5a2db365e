#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "service/devices/connectivity_calls.h"
#include "service/devices/connectivity_session.h"
#include "service/devices/linkdeck_file_system.h"
#include "service/zip/extract.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/support/child_process.h"

namespace MapsService {
namespace {

using atlasync::testing::PhoneFarm;
using atlasync::testing::read_file;
using atlasync::testing::write_file;
namespace fs = std::filesystem;

class LinkdeckFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_farm.create("alpha", {"--serial", "SN-1", "--capacity", "E:64K", "--label", "E:Maps card",
                                "--capacity", "C:8G"});
        ASSERT_EQ(start_connectivity(m_dm), kResultOk);
        m_drive = make("SN-1", L"\\\\E:");
        ASSERT_NE(m_drive, nullptr);
    }
    void TearDown() override {
        m_drive.reset();
        EXPECT_EQ(stop_connectivity(m_dm), kResultOk);
    }

    // As the phone manager makes them: media and device id from DLNKOpenFS.
    static std::unique_ptr<LinkdeckFileSystem> make(const std::string& serial,
                                                    const std::wstring& drive) {
        const std::wstring wideSerial(serial.begin(), serial.end());
        uint32_t media = DLNK_MEDIA_ANY;
        uint32_t deviceId = 0;
        DLNKFSHANDLE fs = nullptr;
        if (Devlinx::DLNKOpenFS(wideSerial.c_str(), &media, &deviceId, &fs) == DLNK_OK) {
            EXPECT_EQ(Devlinx::DLNKCloseFS(fs), DLNK_OK);
        }
        return std::make_unique<LinkdeckFileSystem>(wideSerial, media, deviceId, drive);
    }

    fs::path card() const { return m_farm.memory("alpha", 'E'); }

    PhoneFarm m_farm;
    DLNKDMHANDLE m_dm = nullptr;
    std::unique_ptr<LinkdeckFileSystem> m_drive;
};

TEST_F(LinkdeckFileSystemTest, ConstructionReadsTheMemoryAndNamesTheDriveWhenItFails) {
    EXPECT_EQ(m_drive->get_root_directory().path(), L"\\\\E:\\");
    EXPECT_EQ(m_drive->get_memory_type(), L"MMC");
    EXPECT_EQ(m_drive->label(), L"Maps card");
    EXPECT_EQ(m_drive->total_space_bytes(), 64 * 1024);
    EXPECT_EQ(m_drive->free_space_bytes(), 64 * 1024);
    EXPECT_EQ(m_drive->connection_kind(), 0);  // USB
    EXPECT_FALSE(m_drive->is_write_protected());

    try {
        make("SN-1", L"\\\\F:");
        ADD_FAILURE() << "no memory F:";
    } catch (const FileSystemConstructionException& e) {
        EXPECT_EQ(e.text(), L"DLNKGetFolderInfo failed on LinkdeckFileSystem, drive \\\\F:.");
    }
    try {
        make("SN-9", L"\\\\E:");
        ADD_FAILURE() << "no phone SN-9";
    } catch (const FileSystemConstructionException& e) {
        EXPECT_EQ(e.text(), L"DLNKOpenFS failed on LinkdeckFileSystem, drive \\\\E:.");
    }
}

TEST(LinkdeckConnectionKind, FollowsTheFirstMediaBitInOrderOfPreference) {
    EXPECT_EQ(LinkdeckFileSystem::connection_kind_of(0x10), 0);
    EXPECT_EQ(LinkdeckFileSystem::connection_kind_of(0x18), 0);
    EXPECT_EQ(LinkdeckFileSystem::connection_kind_of(0x08), 1);
    EXPECT_EQ(LinkdeckFileSystem::connection_kind_of(0x0E), 1);
    EXPECT_EQ(LinkdeckFileSystem::connection_kind_of(0x06), 2);
    EXPECT_EQ(LinkdeckFileSystem::connection_kind_of(0x04), 3);
    EXPECT_EQ(LinkdeckFileSystem::connection_kind_of(0x01), 255);
    EXPECT_EQ(LinkdeckFileSystem::connection_kind_of(0), 255);
}

TEST_F(LinkdeckFileSystemTest, FileOperationsAnswerTheirSuccessAndFailureCodes) {
    const std::string qf = "client_id=qtl\n";
    ASSERT_EQ(m_drive->create_directory(L"\\\\E:\\private"), kResultOk);
    ASSERT_EQ(m_drive->write_file(L"\\\\E:\\private\\qf", qf.data(), qf.size(), 0, true), 0);
    std::vector<std::uint8_t> data;
    ASSERT_EQ(m_drive->read_file(L"\\\\E:\\private\\qf", data), kResultOk);
    EXPECT_EQ(std::string(data.begin(), data.end()), qf);
    EXPECT_EQ(m_drive->read_file(L"\\\\E:\\private\\none", data), kResultPhoneFileSystem);

    std::uint64_t size = 0;
    EXPECT_EQ(m_drive->get_file_size(L"\\\\E:\\private\\qf", size), kResultOk);
    EXPECT_EQ(size, qf.size());
    EXPECT_EQ(m_drive->get_file_size(L"\\\\E:\\private\\none", size), kResultPhoneFileSystem);
    FileTimes times;
    EXPECT_EQ(m_drive->get_time(L"\\\\E:\\private\\qf", times), kResultOk);
    EXPECT_EQ(times.creation, 0);
    EXPECT_EQ(times.lastAccess, 0);
    struct stat local {};
    ASSERT_EQ(::stat((card() / "private" / "qf").c_str(), &local), 0);
    EXPECT_EQ(times.lastWrite, local.st_mtime);
    EXPECT_EQ(m_drive->get_time(L"\\\\E:\\none", times), kResultPhoneFileSystem);
    EXPECT_TRUE(m_drive->file_exists(L"\\\\E:\\private\\qf"));
    EXPECT_FALSE(m_drive->file_exists(L"\\\\E:\\private"));
    EXPECT_TRUE(m_drive->directory_exists(L"\\\\E:\\private"));
    EXPECT_FALSE(m_drive->directory_exists(L"\\\\E:\\private\\qf"));
    EXPECT_EQ(m_drive->get_directory_size(L"\\\\E:\\private", size), kResultOk);
    EXPECT_EQ(size, qf.size());
    EXPECT_EQ(m_drive->get_directory_size(L"\\\\E:\\none", size), kResultPhoneFileSystem);

    std::vector<DirectoryEntry> folders;
    EXPECT_EQ(m_drive->fetch_sub_directories(L"\\\\E:\\", folders), kResultOk);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].path(), L"\\\\E:\\private");
    std::vector<std::wstring> files;
    EXPECT_EQ(m_drive->fetch_filenames(L"\\\\E:\\private", files), kResultOk);
    EXPECT_EQ(files, std::vector<std::wstring>{L"\\\\E:\\private\\qf"});
    EXPECT_EQ(m_drive->fetch_filenames(L"\\\\E:\\none", files), kResultFailed);
    std::vector<std::pair<std::wstring, std::uint64_t>> sized;
    EXPECT_EQ(m_drive->fetch_files(L"\\\\E:\\private", sized), kResultOk);
    EXPECT_EQ(
        sized,
        (std::vector<std::pair<std::wstring, std::uint64_t>>{{L"\\\\E:\\private\\qf", qf.size()}}));
    EXPECT_EQ(m_drive->fetch_files(L"\\\\E:\\none", sized), kResultFailed);
    EXPECT_EQ(m_drive->fetch_sub_directories(L"\\\\E:\\none", folders), kResultFailed);

    ASSERT_EQ(m_drive->create_directory(L"\\\\E:\\backup"), kResultOk);
    EXPECT_EQ(m_drive->move_file(L"\\\\E:\\private\\qf", L"\\\\E:\\backup"), kResultOk);
    EXPECT_TRUE(fs::exists(card() / "backup" / "qf"));
    EXPECT_EQ(m_drive->move_file(L"\\\\E:\\private\\qf", L"\\\\E:\\backup"),
              kResultPhoneFileSystem);
    EXPECT_EQ(m_drive->move_folder(L"\\\\E:\\backup", L"\\\\E:\\old"), kResultOk);
    EXPECT_TRUE(fs::exists(card() / "old" / "qf"));
    EXPECT_EQ(m_drive->move_folder(L"\\\\E:\\backup", L"\\\\E:\\old2"), kResultPhoneFileSystem);

    // Deleting what is not there counts as done.
    EXPECT_EQ(m_drive->delete_file(L"\\\\E:\\old\\qf"), kResultOk);
    EXPECT_EQ(m_drive->delete_file(L"\\\\E:\\old\\qf"), kResultOk);
    EXPECT_EQ(m_drive->delete_directory(L"\\\\E:\\old"), kResultOk);
    EXPECT_EQ(m_drive->delete_directory(L"\\\\E:\\old"), kResultOk);
    EXPECT_FALSE(fs::exists(card() / "old"));
    EXPECT_EQ(m_drive->delete_file(L"\\\\E:\\..\\..\\victim"), kResultPhoneFileSystem);
}

TEST_F(LinkdeckFileSystemTest, CreateDirectoryBuildsParentsTopDownAndLeavesExistingOnesAlone) {
    ASSERT_EQ(m_drive->create_directory(L"\\\\E:\\cities\\diskcache\\tiles"), kResultOk);
    EXPECT_TRUE(fs::is_directory(card() / "cities" / "diskcache" / "tiles"));

    // A phone that fails every folder creation: an existing folder needs none.
    m_farm.create("strict", {"--fail", "DLNKCreateFolder=0x80400005"});
    fs::create_directories(m_farm.memory("strict", 'E') / "cities");
    const auto strict = make("strict", L"\\\\E:");
    EXPECT_EQ(strict->create_directory(L"\\\\E:\\cities"), kResultOk);
    EXPECT_EQ(strict->create_directory(L"\\\\E:\\cities\\new"), kResultPhoneFileSystem);
    EXPECT_EQ(strict->create_directory(L"\\\\E:\\a\\b"), kResultPhoneFileSystem);
}

TEST_F(LinkdeckFileSystemTest, WriteWithoutOverwriteLeavesAnExistingPhoneFileUnchanged) {
    const std::string first = "first";
    const std::string second = "second";
    ASSERT_EQ(m_drive->write_file(L"\\\\E:\\qf", first.data(), first.size(), 0, false), 0);
    EXPECT_EQ(m_drive->write_file(L"\\\\E:\\qf", second.data(), second.size(), 0, false), 0);
    EXPECT_EQ(read_file(card() / "qf"), "first");
    EXPECT_EQ(m_drive->write_file(L"\\\\E:\\qf", second.data(), second.size(), 0, true), 0);
    EXPECT_EQ(read_file(card() / "qf"), "second");
}

TEST_F(LinkdeckFileSystemTest, FreeSpaceIsAskedAgainOnlyAfterAChangeOnTheDrive) {
    EXPECT_EQ(m_drive->free_space_bytes(), 64 * 1024);
    // Written behind the file system's back: the stored value still answers.
    write_file(card() / "other.bin", std::string(1000, 'o'));
    EXPECT_EQ(m_drive->free_space_bytes(), 64 * 1024);

    write_file(m_farm.outside() / "tile.dat", std::string(2000, 't'));
    ASSERT_EQ(m_drive->copy_to_device((m_farm.outside() / "tile.dat").wstring(), L"\\\\E:"),
              kResultOk);
    EXPECT_EQ(m_drive->free_space_bytes(), 64 * 1024 - 3000);
    ASSERT_EQ(m_drive->delete_file(L"\\\\E:\\tile.dat"), kResultOk);
    EXPECT_EQ(m_drive->free_space_bytes(), 64 * 1024 - 1000);
    // The phone gone, the last known value stays.
    m_farm.remove("alpha");
    ASSERT_EQ(m_drive->delete_file(L"\\\\E:\\other.bin"), kResultPhoneFileSystem);
    const std::string data = "x";
    EXPECT_EQ(m_drive->write_file(L"\\\\E:\\x", data.data(), 1, 0, true), kResultPhoneFileSystem);
    EXPECT_EQ(m_drive->free_space_bytes(), 64 * 1024 - 1000);
}

TEST_F(LinkdeckFileSystemTest, CopyToAFullMemoryGives14AndLeavesNothing) {
    write_file(m_farm.outside() / "big.dat", std::string(70 * 1024, 'b'));
    EXPECT_EQ(m_drive->copy_to_device((m_farm.outside() / "big.dat").wstring(), L"\\\\E:"),
              kResultPhoneFull);
    EXPECT_FALSE(fs::exists(card() / "big.dat"));
    EXPECT_EQ(m_drive->copy_to_device(L"/no/such/file", L"\\\\E:"), kResultPhoneFull);
}

TEST_F(LinkdeckFileSystemTest, FileOfFourGibibytesOrMoreReportsOnlyItsLowThirtyTwoBits) {
    const auto phoneMemory = make("SN-1", L"\\\\C:");
    const auto huge = m_farm.memory("alpha", 'C') / "huge.bin";
    { std::ofstream(huge.string()); }
    ASSERT_EQ(::truncate(huge.c_str(), (std::int64_t{1} << 32) + 7), 0);  // sparse
    std::uint64_t size = 0;
    EXPECT_EQ(phoneMemory->get_file_size(L"\\\\C:\\huge.bin", size), kResultOk);
    EXPECT_EQ(size, 7u);
}

TEST_F(LinkdeckFileSystemTest, LostPhoneGivesPhoneFileSystemErrorsAndFalse) {
    m_farm.remove("alpha");
    std::vector<std::uint8_t> data;
    std::vector<std::wstring> files;
    std::uint64_t size = 0;
    EXPECT_EQ(m_drive->read_file(L"\\\\E:\\qf", data), kResultPhoneFileSystem);
    EXPECT_EQ(m_drive->fetch_filenames(L"\\\\E:", files), kResultPhoneFileSystem);
    EXPECT_EQ(m_drive->get_file_size(L"\\\\E:\\qf", size), kResultPhoneFileSystem);
    EXPECT_EQ(m_drive->create_directory(L"\\\\E:\\x"), kResultPhoneFileSystem);
    EXPECT_EQ(m_drive->move_folder(L"\\\\E:\\a", L"\\\\E:\\b"), kResultPhoneFileSystem);
    EXPECT_FALSE(m_drive->directory_exists(L"\\\\E:"));
    EXPECT_FALSE(m_drive->file_exists(L"\\\\E:\\qf"));
    // The file system survives the phone coming back.
    m_farm.create("alpha", {"--serial", "SN-1"});
    EXPECT_TRUE(m_drive->directory_exists(L"\\\\E:"));
}

// Counts what an extraction hands over.
class CountingSink final : public ExtractionSink {
public:
    Result on_file_extracted(const std::wstring& entryName, const std::wstring&) override {
        names.push_back(entryName);
        return kResultOk;
    }
    void on_unzip_progress(std::uint64_t) override {}
    std::vector<std::wstring> names;
};

TEST_F(LinkdeckFileSystemTest, ArchivesAreExtractedOnTheComputer) {
    const fs::path archive = m_farm.outside() / "maps.zip";
    std::string output;
    ASSERT_EQ(atlasync::testing::run_program(
                  "/usr/bin/python3",
                  {"-c",
                   "import sys, zipfile\n"
                   "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                   "    z.writestr('cities/a.dat', 'tile' * 100)\n",
                   archive.string()},
                  &output),
              0)
        << output;
    CountingSink sink;
    std::uint64_t bytes = 0;
    const fs::path work = m_farm.outside() / "work";
    fs::create_directories(work);
    EXPECT_EQ(m_drive->unzip_archive(archive.wstring(), work.wstring(), sink, bytes), kResultOk);
    EXPECT_EQ(bytes, 400u);
    EXPECT_EQ(sink.names, std::vector<std::wstring>{L"cities\\a.dat"});
    std::string tiles;
    for (int i = 0; i < 100; ++i) {
        tiles += "tile";
    }
    EXPECT_EQ(read_file(work / "cities" / "a.dat"), tiles);
    // Extraction stays on the computer: the phone holds nothing new.
    EXPECT_EQ(std::distance(fs::directory_iterator(card()), fs::directory_iterator()), 1);

    write_file(m_farm.outside() / "broken.zip", "PK\x03\x04 not really");
    EXPECT_EQ(m_drive->unzip_archive((m_farm.outside() / "broken.zip").wstring(), work.wstring(),
                                     sink, bytes),
              kResultCorruptArchive);
}

TEST(LinkdeckDeviceSide, InitializeOpensTheDeviceManagerAndFinalizeStopsEveryModule) {
    PhoneFarm farm;
    farm.create("alpha");
    ASSERT_EQ(LinkdeckFileSystem::initialize(), kResultOk);
    uint32_t count = 0;
    EXPECT_EQ(Devlinx::DLNKGetDeviceCount(LinkdeckFileSystem::device_manager(), &count), DLNK_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(LinkdeckFileSystem::finalize(), kResultOk);
    EXPECT_EQ(LinkdeckFileSystem::device_manager(), nullptr);
    EXPECT_EQ(Devlinx::DLNKGetDeviceCount(nullptr, &count), DLNK_E_NOT_INITIALIZED);

    farm.configure("DIAPI=/nowhere/libDVLX.so\nOptions=1\n");
    ASSERT_EQ(LinkdeckFileSystem::initialize(), kResultOk);  // the default file stands in
    EXPECT_EQ(LinkdeckFileSystem::finalize(), kResultOk);
    farm.configure("FSAPI=" DVLX_ABAPI_PATH "\nOptions=1\n");
    EXPECT_EQ(LinkdeckFileSystem::initialize(), kResultConnectivity);
    EXPECT_EQ(LinkdeckFileSystem::device_manager(), nullptr);
    EXPECT_EQ(LinkdeckFileSystem::finalize(), kResultOk);
}

}  // namespace
}  // namespace MapsService
