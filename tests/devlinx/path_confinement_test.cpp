#include <map>
#include <string>

#include "tests/devlinx/simulator_fixture.h"

namespace atlasync::testing {
namespace {

namespace fs = std::filesystem;

// Every file below a folder with its content, to show nothing changed there.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files[entry.path().string()] = entry.is_regular_file() ? read_file(entry.path()) : "<dir>";
    }
    return files;
}

class PathConfinement : public SimulatorTest {
protected:
    void SetUp() override {
        SimulatorTest::SetUp();
        m_farm.create("alpha");
        m_farm.create("beta");
        write_file(m_farm.outside() / "victim.txt", "keep me");
        write_file(m_farm.memory("beta", 'E') / "secret.txt", "beta's");
        m_fs = open(L"alpha");
        ASSERT_NE(m_fs, nullptr);
    }

    DLNKFSHANDLE m_fs = nullptr;
};

TEST_F(PathConfinement, NamesThatClimbOutOfAMemoryAreRefusedAndTouchNothing) {
    const fs::path root = m_farm.folder().parent_path();
    const auto before = snapshot(root);
    const wchar_t* escapes[] = {L"..\\..\\",
                                L"\\\\E:\\..\\..\\..\\outside",
                                L"\\\\E:\\..\\..\\beta\\E",
                                L"\\\\E:/../../../outside",
                                L"\\\\E:\\.\\..",
                                L"\\\\..\\outside"};
    for (const wchar_t* path : escapes) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(path)));
        EXPECT_NE(DLNKCreateFolder(m_fs, path, L"planted"), DLNK_OK);
        EXPECT_NE(DLNKDeleteFile(m_fs, path, L"victim.txt"), DLNK_OK);
        EXPECT_NE(DLNKDeleteFolder(m_fs, DLNK_DELETE_RECURSIVE, path, L"E"), DLNK_OK);
        DLNKFINDHANDLE find = nullptr;
        EXPECT_NE(DLNKFindBegin(m_fs, DLNK_FIND_FILES, path, &find), DLNK_OK);
        DLNK_FILE_DESC file{const_cast<wchar_t*>(L"victim.txt"), 0};
        void* data = nullptr;
        EXPECT_NE(DLNKReadFile(m_fs, path, &file, &data), DLNK_OK);
        EXPECT_NE(DLNKMoveFolder(m_fs, 0, path, L"\\\\E:\\stolen"), DLNK_OK);
        EXPECT_NE(DLNKMoveFolder(m_fs, 0, L"\\\\C:", path), DLNK_OK);
    }
    // Names given separately must be one plain part.
    const wchar_t* names[] = {L"..", L".", L"..\\..\\victim.txt", L"../x", L""};
    for (const wchar_t* name : names) {
        EXPECT_EQ(DLNKCreateFolder(m_fs, L"\\\\E:", name), DLNK_E_INVALID_NAME);
        EXPECT_EQ(DLNKDeleteFolder(m_fs, DLNK_DELETE_RECURSIVE, L"\\\\E:", name),
                  DLNK_E_INVALID_NAME);
        EXPECT_EQ(DLNKDeleteFile(m_fs, L"\\\\E:", name), DLNK_E_INVALID_NAME);
    }
    // A memory itself cannot be deleted, nor its settings file touched.
    EXPECT_EQ(DLNKDeleteFolder(m_fs, DLNK_DELETE_RECURSIVE, L"\\", L"E:"), DLNK_E_ACCESS_DENIED);
    EXPECT_EQ(DLNKDeleteFile(m_fs, L"\\\\E:", L"memory.ini"), DLNK_E_ACCESS_DENIED);
    EXPECT_EQ(snapshot(root), before);
}

TEST_F(PathConfinement, SymbolicLinksInsideAMemoryAreNotFollowed) {
    fs::create_directory_symlink(m_farm.outside(), m_farm.memory("alpha", 'E') / "link");
    const auto before = snapshot(m_farm.outside());
    EXPECT_EQ(DLNKDeleteFile(m_fs, L"\\\\E:\\link", L"victim.txt"), DLNK_E_ACCESS_DENIED);
    EXPECT_EQ(DLNKCreateFolder(m_fs, L"\\\\E:\\link", L"planted"), DLNK_E_ACCESS_DENIED);
    void* block = nullptr;
    ASSERT_EQ(DLNKAllocFileDataMemory(1, &block), DLNK_OK);
    DLNK_FILE_DESC file{const_cast<wchar_t*>(L"victim.txt"), 1};
    EXPECT_EQ(DLNKWriteFile(m_fs, &file, block, L"\\\\E:\\link"), DLNK_E_ACCESS_DENIED);
    DLNKFreeFileDataMemory(block);
    EXPECT_EQ(DLNKDeleteFolder(m_fs, DLNK_DELETE_RECURSIVE, L"\\\\E:", L"link"),
              DLNK_E_ACCESS_DENIED);
    EXPECT_EQ(snapshot(m_farm.outside()), before);
}

}  // namespace
}  // namespace atlasync::testing
