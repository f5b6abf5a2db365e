// atlasync --demo as a user runs it: a real process from the build, the text
// front end answering for itself.

#include <gtest/gtest.h>

#include <cstdlib>

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

class DemoRun : public ::testing::Test {
protected:
    void SetUp() override {
        // The service's work folders and the application profile stay in the test's folder.
        fs::create_directories(m_tmp.path() / "tmp");
        ::setenv("TMPDIR", (m_tmp.path() / "tmp").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_tmp.path() / "config").c_str(), 1);
    }

    int demo(std::string& output) {
        return run_program(
            ATLASYNC_PATH,
            {"--demo", "--text", "--yes", "--demo-dir", (m_tmp.path() / "demo").string()}, &output,
            m_tmp.path());
    }

    TempDir m_tmp;
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

TEST_F(DemoRun, HelpNamesTheTextAndDemoOptions) {
    std::string output;
    EXPECT_EQ(run_program(ATLASYNC_PATH, {"--help"}, &output), 0);
    for (const char* option : {"--text", "--demo", "--demo-dir", "--yes"}) {
        EXPECT_NE(output.find(option), std::string::npos) << option << "\n" << output;
    }
}

}  // namespace
}  // namespace atlasync::testing
