#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <set>
#include <thread>

#include "tests/devlinx/simulator_fixture.h"

namespace atlasync::testing {
namespace {

class FileCalls : public SimulatorTest {
protected:
    void SetUp() override {
        SimulatorTest::SetUp();
        m_farm.create("alpha",
                      {"--capacity", "E:64K", "--label", "E:Maps card", "--capacity", "C:8G"});
        m_fs = open(L"alpha");
        ASSERT_NE(m_fs, nullptr);
    }

    DLNKRESULT write(const wchar_t* folder, const wchar_t* name, const std::string& content) {
        void* block = nullptr;
        EXPECT_EQ(DLNKAllocFileDataMemory(static_cast<uint32_t>(content.size()), &block), DLNK_OK);
        std::memcpy(block, content.data(), content.size());
        DLNK_FILE_DESC file{const_cast<wchar_t*>(name), static_cast<uint32_t>(content.size())};
        const DLNKRESULT status = DLNKWriteFile(m_fs, &file, block, folder);
        DLNKFreeFileDataMemory(block);
        return status;
    }

    std::set<std::wstring> list(const wchar_t* folder, uint32_t option) {
        std::set<std::wstring> names;
        DLNKFINDHANDLE find = nullptr;
        EXPECT_EQ(DLNKFindBegin(m_fs, option, folder, &find), DLNK_OK);
        DLNKRESULT status = DLNK_OK;
        while (status == DLNK_OK) {
            if (option == DLNK_FIND_FILES) {
                DLNK_FILE_INFO* info = nullptr;
                status = DLNKFindNextFile(find, &info);
                if (status == DLNK_OK) {
                    names.insert(info->name);
                    DLNKFreeFileInfoStructure(info);
                }
            } else {
                DLNK_FOLDER_INFO* info = nullptr;
                status = DLNKFindNextFolder(find, &info);
                if (status == DLNK_OK) {
                    names.insert(info->name);
                    DLNKFreeFolderInfoStructure(info);
                }
            }
        }
        EXPECT_EQ(status, DLNK_E_NO_MORE_ENTRIES);
        DLNKFindEnd(find);
        return names;
    }

    DLNK_FOLDER_CONTENT folder_info(const wchar_t* path, uint32_t option, DLNKRESULT& status) {
        DLNK_FOLDER_CONTENT content{};
        content.struct_size = sizeof content;
        status = DLNKGetFolderInfo(m_fs, option, path, &content);
        return content;
    }

    DLNKFSHANDLE m_fs = nullptr;
};

TEST_F(FileCalls, MemoriesAreListedWithTypeLabelAndCapacity) {
    DLNKFINDHANDLE find = nullptr;
    ASSERT_EQ(DLNKFindBegin(m_fs, DLNK_FIND_FOLDERS, L"\\", &find), DLNK_OK);
    DLNK_FOLDER_INFO* info = nullptr;
    ASSERT_EQ(DLNKFindNextFolder(find, &info), DLNK_OK);
    EXPECT_STREQ(info->name, L"C:");
    EXPECT_STREQ(info->memory_type, L"DEV");
    DLNKFreeFolderInfoStructure(info);
    ASSERT_EQ(DLNKFindNextFolder(find, &info), DLNK_OK);
    EXPECT_STREQ(info->name, L"E:");
    EXPECT_STREQ(info->memory_type, L"MMC");
    EXPECT_STREQ(info->label, L"Maps card");
    DLNKFreeFolderInfoStructure(info);
    EXPECT_EQ(DLNKFindNextFolder(find, &info), DLNK_E_NO_MORE_ENTRIES);
    DLNKFindEnd(find);

    ASSERT_EQ(write(L"\\\\E:", L"a.bin", std::string(1000, 'a')), DLNK_OK);
    DLNKRESULT status = DLNK_OK;
    DLNK_FOLDER_CONTENT content = folder_info(L"\\\\E:", DLNK_GET_FOLDER_INFO, status);
    ASSERT_EQ(status, DLNK_OK);
    EXPECT_STREQ(content.path, L"\\\\E:");
    EXPECT_STREQ(content.memory_type, L"MMC");
    EXPECT_EQ(content.total_bytes, 64 * 1024);
    EXPECT_EQ(content.used_bytes, 1000);
    EXPECT_EQ(content.free_bytes, 64 * 1024 - 1000);
    DLNKFreeFolderContentStructure(&content);
    // A record too small for the answer is refused rather than overrun.
    DLNK_FOLDER_CONTENT small{};
    small.struct_size = 36;
    EXPECT_EQ(DLNKGetFolderInfo(m_fs, DLNK_GET_FOLDER_INFO, L"\\\\E:", &small),
              DLNK_E_INVALID_PARAMETER);
}

TEST_F(FileCalls, FolderCallsAnswerExistsAndAbsentStatuses) {
    EXPECT_EQ(DLNKCreateFolder(m_fs, L"\\\\E:", L"cities"), DLNK_OK);
    EXPECT_EQ(DLNKCreateFolder(m_fs, L"\\\\E:", L"cities"), DLNK_E_FOLDER_EXISTS);
    EXPECT_EQ(DLNKCreateFolder(m_fs, L"\\\\E:\\missing", L"x"), DLNK_E_FOLDER_NOT_FOUND);
    EXPECT_EQ(DLNKCreateFolder(m_fs, L"\\\\E:\\cities", L"diskcache"), DLNK_OK);
    ASSERT_EQ(write(L"\\\\E:\\cities\\diskcache", L"config.cfg", "12345"), DLNK_OK);

    EXPECT_EQ(list(L"\\\\E:", DLNK_FIND_FOLDERS), std::set<std::wstring>{L"cities"});
    EXPECT_EQ(list(L"\\\\E:\\cities\\diskcache", DLNK_FIND_FILES),
              std::set<std::wstring>{L"config.cfg"});
    // The memory's own settings file is not part of the phone.
    EXPECT_TRUE(list(L"\\\\E:", DLNK_FIND_FILES).empty());

    DLNKRESULT status = DLNK_OK;
    DLNK_FOLDER_CONTENT tree = folder_info(L"\\\\E:\\cities", DLNK_GET_FOLDER_TREE, status);
    ASSERT_EQ(status, DLNK_OK);
    EXPECT_EQ(tree.tree_bytes, 5);
    DLNKFreeFolderContentStructure(&tree);
    folder_info(L"\\\\E:\\nowhere", DLNK_GET_FOLDER_INFO, status);
    EXPECT_EQ(status, DLNK_E_FOLDER_NOT_FOUND);
    folder_info(L"\\\\F:", DLNK_GET_FOLDER_INFO, status);
    EXPECT_EQ(status, DLNK_E_FOLDER_NOT_FOUND);

    EXPECT_EQ(DLNKDeleteFolder(m_fs, 0, L"\\\\E:", L"cities"), DLNK_E_ACCESS_DENIED);
    EXPECT_EQ(DLNKDeleteFolder(m_fs, DLNK_DELETE_RECURSIVE, L"\\\\E:", L"cities"), DLNK_OK);
    EXPECT_EQ(DLNKDeleteFolder(m_fs, DLNK_DELETE_RECURSIVE, L"\\\\E:", L"cities"),
              DLNK_E_FOLDER_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(m_farm.memory("alpha", 'E') / "cities"));
}

TEST_F(FileCalls, FilesAreWrittenReadDescribedAndDeleted) {
    ASSERT_EQ(write(L"\\\\E:", L"qf", "client_id=qtl\n"), DLNK_OK);
    ASSERT_EQ(write(L"\\\\E:", L"qf", "client_id=abc\n"), DLNK_OK);  // replaces
    EXPECT_EQ(read_file(m_farm.memory("alpha", 'E') / "qf"), "client_id=abc\n");

    DLNK_FILE_DESC file{const_cast<wchar_t*>(L"qf"), 0};
    void* data = nullptr;
    ASSERT_EQ(DLNKReadFile(m_fs, L"\\\\E:", &file, &data), DLNK_OK);
    EXPECT_EQ(std::string(static_cast<char*>(data), file.length), "client_id=abc\n");
    EXPECT_STREQ(file.name, L"qf");
    DLNKFreeFileDataMemory(file.name);
    DLNKFreeFileDataMemory(data);

    ::utime((m_farm.memory("alpha", 'E') / "qf").c_str(), nullptr);
    struct stat local {};
    ::stat((m_farm.memory("alpha", 'E') / "qf").c_str(), &local);
    DLNK_FILE_INFO* info = nullptr;
    ASSERT_EQ(DLNKGetFileInfo(m_fs, L"qf", L"\\\\E:", &info), DLNK_OK);
    EXPECT_EQ(info->size, 14u);
    EXPECT_EQ(info->time, local.st_mtime);
    DLNKFreeFileInfoStructure(info);

    EXPECT_EQ(DLNKDeleteFile(m_fs, L"\\\\E:", L"qf"), DLNK_OK);
    EXPECT_EQ(DLNKDeleteFile(m_fs, L"\\\\E:", L"qf"), DLNK_E_FILE_NOT_FOUND);
    EXPECT_EQ(DLNKGetFileInfo(m_fs, L"qf", L"\\\\E:", &info), DLNK_E_FILE_NOT_FOUND);
    file.name = const_cast<wchar_t*>(L"qf");
    EXPECT_EQ(DLNKReadFile(m_fs, L"\\\\E:", &file, &data), DLNK_E_FILE_NOT_FOUND);
}

TEST_F(FileCalls, CopiesAndMovesWithinAndAcrossMemories) {
    write_file(m_farm.outside() / "tile.dat", "tile-data");
    const std::wstring source = (m_farm.outside() / "tile.dat").wstring();
    ASSERT_EQ(DLNKCreateFolder(m_fs, L"\\\\E:", L"maps"), DLNK_OK);
    ASSERT_EQ(DLNKCopyFile(m_fs, DLNK_COPY_FROM_PC | DLNK_COPY_OVERWRITE, source.c_str(),
                           L"\\\\E:\\maps"),
              DLNK_OK);
    EXPECT_EQ(read_file(m_farm.memory("alpha", 'E') / "maps" / "tile.dat"), "tile-data");
    EXPECT_EQ(DLNKCopyFile(m_fs, DLNK_COPY_FROM_PC, source.c_str(), L"\\\\E:\\maps"),
              DLNK_E_FILE_EXISTS);
    EXPECT_EQ(DLNKCopyFile(m_fs, DLNK_COPY_FROM_PC, L"/no/such/file", L"\\\\E:\\maps"),
              DLNK_E_FILE_NOT_FOUND);

    ASSERT_EQ(DLNKCreateFolder(m_fs, L"\\\\E:", L"old"), DLNK_OK);
    EXPECT_EQ(DLNKMoveFile(m_fs, DLNK_MOVE_REPLACE, L"\\\\E:\\maps\\tile.dat", L"\\\\E:\\old"),
              DLNK_OK);
    EXPECT_TRUE(std::filesystem::exists(m_farm.memory("alpha", 'E') / "old" / "tile.dat"));
    EXPECT_FALSE(std::filesystem::exists(m_farm.memory("alpha", 'E') / "maps" / "tile.dat"));

    // Across memories the data travel and the source goes.
    EXPECT_EQ(DLNKMoveFolder(m_fs, DLNK_MOVE_REPLACE, L"\\\\E:\\old", L"\\\\C:\\archive"), DLNK_OK);
    EXPECT_EQ(read_file(m_farm.memory("alpha", 'C') / "archive" / "tile.dat"), "tile-data");
    EXPECT_FALSE(std::filesystem::exists(m_farm.memory("alpha", 'E') / "old"));
    EXPECT_EQ(DLNKMoveFolder(m_fs, 0, L"\\\\C:\\archive", L"\\\\C:\\archive\\inner"),
              DLNK_E_ACCESS_DENIED);
    EXPECT_EQ(DLNKMoveFolder(m_fs, 0, L"\\\\C:\\gone", L"\\\\C:\\x"), DLNK_E_FOLDER_NOT_FOUND);
}

TEST_F(FileCalls, UsedBytesFollowPlainFileOperationsAfterTheFoldersWereCounted) {
    const auto card = m_farm.memory("alpha", 'E');
    std::filesystem::create_directories(card / "maps" / "tiles");
    write_file(card / "maps" / "a.dat", std::string(1000, 'a'));
    write_file(card / "maps" / "tiles" / "b.dat", std::string(2000, 'b'));
    // Each step waits until the folders' times have settled, so the counts
    // taken before are the ones a change has to replace.
    const auto used = [&](const wchar_t* path, uint32_t option) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        DLNKRESULT status = DLNK_OK;
        DLNK_FOLDER_CONTENT content = folder_info(path, option, status);
        EXPECT_EQ(status, DLNK_OK);
        const std::int64_t bytes =
            option == DLNK_GET_FOLDER_TREE ? content.tree_bytes : content.used_bytes;
        DLNKFreeFolderContentStructure(&content);
        return bytes;
    };
    EXPECT_EQ(used(L"\\\\E:", DLNK_GET_FOLDER_INFO), 3000);
    EXPECT_EQ(used(L"\\\\E:", DLNK_GET_FOLDER_INFO), 3000);

    write_file(card / "maps" / "tiles" / "c.dat", std::string(500, 'c'));
    EXPECT_EQ(used(L"\\\\E:", DLNK_GET_FOLDER_INFO), 3500);
    EXPECT_EQ(used(L"\\\\E:\\maps\\tiles", DLNK_GET_FOLDER_TREE), 2500);

    std::filesystem::remove(card / "maps" / "a.dat");
    EXPECT_EQ(used(L"\\\\E:", DLNK_GET_FOLDER_INFO), 2500);

    std::filesystem::create_directories(card / "other");
    std::filesystem::rename(card / "maps" / "tiles", card / "other" / "tiles");
    EXPECT_EQ(used(L"\\\\E:\\maps", DLNK_GET_FOLDER_TREE), 0);
    EXPECT_EQ(used(L"\\\\E:\\other", DLNK_GET_FOLDER_TREE), 2500);

    std::filesystem::remove_all(card / "other");
    EXPECT_EQ(used(L"\\\\E:", DLNK_GET_FOLDER_INFO), 0);
}

TEST_F(FileCalls, DataThatDoNotFitOnAFullMemoryAreRefusedAndLeaveNothing) {
    write_file(m_farm.outside() / "big.dat", std::string(70 * 1024, 'b'));
    const std::wstring source = (m_farm.outside() / "big.dat").wstring();
    EXPECT_EQ(
        DLNKCopyFile(m_fs, DLNK_COPY_FROM_PC | DLNK_COPY_OVERWRITE, source.c_str(), L"\\\\E:"),
        DLNK_E_NOT_ENOUGH_SPACE);
    EXPECT_EQ(write(L"\\\\E:", L"big.dat", std::string(70 * 1024, 'b')), DLNK_E_NOT_ENOUGH_SPACE);
    ASSERT_EQ(write(L"\\\\E:", L"half.dat", std::string(40 * 1024, 'h')), DLNK_OK);
    // Replacing a file counts only the difference.
    EXPECT_EQ(write(L"\\\\E:", L"half.dat", std::string(60 * 1024, 'h')), DLNK_OK);
    EXPECT_EQ(write(L"\\\\E:", L"more.dat", std::string(8 * 1024, 'm')), DLNK_E_NOT_ENOUGH_SPACE);
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_farm.memory("alpha", 'E'))) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"half.dat", "memory.ini"}));
}

TEST_F(FileCalls, FileOfFourGibibytesOrMoreReportsItsLowThirtyTwoBits) {
    const auto path = m_farm.memory("alpha", 'C') / "huge.bin";
    { std::ofstream(path.string()); }
    ASSERT_EQ(::truncate(path.c_str(), (std::int64_t{1} << 32) + 7), 0);  // sparse
    DLNK_FILE_INFO* info = nullptr;
    ASSERT_EQ(DLNKGetFileInfo(m_fs, L"huge.bin", L"\\\\C:", &info), DLNK_OK);
    EXPECT_EQ(info->size, 7u);
    DLNKFreeFileInfoStructure(info);
    DLNK_FILE_DESC file{const_cast<wchar_t*>(L"huge.bin"), 0};
    void* data = nullptr;
    EXPECT_EQ(DLNKReadFile(m_fs, L"\\\\C:", &file, &data), DLNK_E_FILE_TOO_LARGE);
}

TEST_F(FileCalls, StatusConfiguredForACallIsAnsweredInsteadOfItsWork) {
    m_farm.create("faulty",
                  {"--fail", "DLNKWriteFile=0x80400005", "--fail", "DLNKGetFolderInfo=0x80200005"});
    m_fs = open(L"faulty");
    EXPECT_EQ(write(L"\\\\E:", L"qf", "x"), DLNK_E_FILE_IN_USE);
    EXPECT_FALSE(std::filesystem::exists(m_farm.memory("faulty", 'E') / "qf"));
    DLNKRESULT status = DLNK_OK;
    folder_info(L"\\\\E:", DLNK_GET_FOLDER_INFO, status);
    EXPECT_EQ(status, DLNK_E_CONNECTION_LOST);
    EXPECT_EQ(DLNKCreateFolder(m_fs, L"\\\\E:", L"ok"), DLNK_OK);
}

}  // namespace
}  // namespace atlasync::testing
