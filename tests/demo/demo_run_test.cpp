// atlasync --demo as a user runs it: a real process from the build, the text
// front end answering for itself.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "service/core/shared_mem.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace atlasync::testing {
namespace {

namespace fs = std::filesystem;

std::string last_line(std::string text) {
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text.substr(text.rfind('\n') + 1);
}

constexpr uid_t kNobody = 65534;

// Whether another user may run the program of the build: every folder on its
// way searchable, the program and its libraries beside it readable by all.
bool others_may_run(const fs::path& program) {
    struct stat info {};
    for (fs::path at = program.parent_path(); !at.empty() && at != at.root_path();
         at = at.parent_path()) {
        if (::stat(at.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) {
            return false;
        }
    }
    return ::stat(program.c_str(), &info) == 0 && (info.st_mode & S_IXOTH) != 0;
}

bool shm_object_exists(const std::string& name) {
    return fs::exists("/dev/shm" + name);
}

class DemoRun : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_tmp.path() / "tmp"); }
    void TearDown() override { MapsService::CSharedMem::remove_objects(m_guard); }

    int demo(std::string& output, const fs::path& folder, const ChildUser* user = nullptr) {
        return run_program(ATLASYNC_PATH,
                           {"--demo", "--text", "--yes", "--demo-dir", (folder / "demo").string()},
                           &output, folder, user);
    }
    int demo(std::string& output) { return demo(output, m_tmp.path()); }

    TempDir m_tmp;
    const std::string m_guard = "atlasync-demo-" + std::to_string(::getpid()) + "-" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // The service's work folders and the application profile stay in the
    // test's folder; tests run side by side, each with a guard of its own.
    ScopedVariable m_tmpdir{"TMPDIR", (m_tmp.path() / "tmp").string()};
    ScopedVariable m_config{"XDG_CONFIG_HOME", (m_tmp.path() / "config").string()};
    ScopedVariable m_guardName{"ATLASYNC_INSTANCE_GUARD", m_guard};
    // The texts looked for are English: the program's folder has other languages too.
    ScopedVariable m_locale{"LC_ALL", "C.UTF-8"};
};

TEST_F(DemoRun, TheDemoUpdatesItsPhoneAndASecondRunInTheSameFolderFindsNothingNew) {
    std::string first;
    EXPECT_EQ(demo(first), 0) << first;
    EXPECT_EQ(last_line(first), "Update was successful!") << first;
    EXPECT_NE(first.find("--yes: Download"), std::string::npos) << first;

    std::string second;
    EXPECT_EQ(demo(second), 0) << second;
    EXPECT_EQ(last_line(second), "There are no new updates for your phone!") << second;
    EXPECT_EQ(second.find("--yes: Download"), std::string::npos) << second;
}

// Another user's guard objects stayed until reboot and aborted every later
// start of anybody else ("Error in MyEvent ctor").
TEST_F(DemoRun, AnotherUsersRunningInstanceNeitherBlocksNorStopsTheDemo) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a second user";
    }
    if (!others_may_run(ATLASYNC_PATH)) {
        GTEST_SKIP() << "another user may not run " << ATLASYNC_PATH;
    }
    MapsService::CSharedMem first(m_guard);
    ASSERT_EQ(first.increment(), 1);
    std::string same;
    EXPECT_EQ(demo(same), 2) << same;  // the guard is held: this user's run gives way
    EXPECT_NE(same.find("Another instance of Atlasync"), std::string::npos) << same;

    // The second user's own folders, and what that user would find in its environment.
    const fs::path home = m_tmp.path() / "other";
    fs::create_directories(home / "tmp");
    for (const fs::path& folder : {home, home / "tmp"}) {
        ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
    }
    fs::permissions(m_tmp.path(), fs::perms::others_exec, fs::perm_options::add);
    const ChildUser nobody{kNobody,
                           kNobody,
                           {{"HOME", home.string()},
                            {"TMPDIR", (home / "tmp").string()},
                            {"XDG_CONFIG_HOME", (home / "config").string()}}};
    // The same guard name, as the same program run by a fellow user uses.
    std::string other;
    EXPECT_EQ(demo(other, home, &nobody), 0) << other;
    EXPECT_EQ(last_line(other), "Update was successful!") << other;
    EXPECT_EQ(first.count(), 1);
    const std::string otherUsers = m_guard + "." + std::to_string(kNobody);
    for (const std::string& name :
         {"/" + otherUsers + "^mx", "/" + otherUsers + "^mf", "/sem." + otherUsers + "^ev"}) {
        EXPECT_FALSE(shm_object_exists(name)) << "the other user's run left " << name;
    }
}

TEST_F(DemoRun, AGuardThatCannotBeMadeEndsTheRunWithOneAndALineThatSaysWhy) {
    // A block of the guard's name that is not the program's: too small to be one.
    const std::string mapping = MapsService::CSharedMem::object_name(m_guard, "^mf");
    const int fd = ::shm_open(mapping.c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 3), 0);
    ::close(fd);
    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_PATH, {"--text", "--yes"}, &output, m_tmp.path()), 1) << output;
    EXPECT_EQ(last_line(output),
              "Atlasync cannot start: Fehler beim Erzeugen des FileMappings in CSharedMem ctor: " +
                  mapping + ": not a block of this program")
        << output;
}

// A display number no X server of this machine listens on, in the file
// system or in the abstract namespace.
std::string unused_display() {
    std::ifstream sockets("/proc/net/unix");
    const std::string listening((std::istreambuf_iterator<char>(sockets)),
                                std::istreambuf_iterator<char>());
    for (int number = 7000 + ::getpid() % 2000;; ++number) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (!fs::exists(socket) && listening.find(socket + "\n") == std::string::npos) {
            return ":" + std::to_string(number);
        }
    }
}

// Qt aborted with 134 on a display that was named but not there.
TEST_F(DemoRun, ADisplayThatCannotBeOpenedLeavesTheRunToTheTextFrontEnd) {
    struct Row {
        std::string display;  // empty: none named
        std::string said;     // on stderr
    };
    const std::string display = unused_display();
    const Row rows[] = {
        {display,
         "atlasync: cannot open the display '" + display + "'; using the text front end\n"},
        {"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("DISPLAY=" + row.display);
        const fs::path folder = m_tmp.path() / ("run" + row.display);
        const fs::path errors = m_tmp.path() / "stderr.txt";
        std::vector<std::string> args = {
            "-c",
            "exec env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u DISPLAY ${1:+DISPLAY=\"$1\"} "
            "\"$0\" --demo --yes --demo-dir \"$2\" 2>\"$3\"",
            ATLASYNC_PATH,
            row.display,
            (folder / "demo").string(),
            errors.string()};
        std::string output;
        EXPECT_EQ(run_program("/bin/sh", args, &output, m_tmp.path()), 0) << output;
        EXPECT_EQ(last_line(output), "Update was successful!") << output;
        std::ifstream in(errors);
        const std::string said((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        EXPECT_EQ(said.find("cannot open the display") != std::string::npos, !row.said.empty())
            << said;
        if (!row.said.empty()) {
            EXPECT_NE(said.find(row.said), std::string::npos) << said;
        }
    }
}

TEST_F(DemoRun, HelpNamesTheTextAndDemoOptions) {
    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_PATH, {"--help"}, &output), 0);
    for (const char* option : {"--text", "--demo", "--demo-dir", "--yes"}) {
        EXPECT_NE(output.find(option), std::string::npos) << option << "\n" << output;
    }
}

}  // namespace
}  // namespace atlasync::testing
