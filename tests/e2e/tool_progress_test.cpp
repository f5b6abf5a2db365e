// atlasync-tool update's progress as a person reads it: on a terminal and in a pipe.

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <map>
#include <regex>

#include "mapserver/drive/drive_writer.h"
#include "tests/devlinx/phone_farm.h"
#include "tests/e2e/facade_fixture.h"
#include "tests/support/child_process.h"

namespace atlasync::testing {
namespace {

namespace fs = std::filesystem;

// Runs the program on a terminal of its own, of the width given (0: unknown), to its end.
int run_on_terminal(const std::vector<std::string>& args, unsigned short columns,
                    std::string& output) {
    termios raw{};
    ::cfmakeraw(&raw);  // no "\r" added to each "\n"
    winsize size{};
    size.ws_col = columns;
    size.ws_row = 24;
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, &raw, &size);
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>(ATLASYNC_TOOL_PATH)};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(ATLASYNC_TOOL_PATH, argv.data());
        ::_exit(127);
    }
    if (child < 0) {
        return -1;
    }
    char buffer[4096];
    for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ToolProgress : public FacadeTest {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        serve();
    }

    // The arguments of an update of a fresh volume in the folder.
    std::vector<std::string> update(const std::string& folder) {
        const fs::path volume = write_old_drive(m_work.path() / folder, {1, 4});
        return {"update", "--server-root", "localhost:" + std::to_string(m_world->served().port()),
                "--volume", volume.string()};
    }

    PhoneFarm m_farm;  // no phones: the volume is the only drive
    TempDir m_work;
};

// The update's download jumped back at every item and its bar glued onto the
// next line ("...100%download: 0").
TEST_F(ToolProgress, EachPhaseRisesInMebibytesOnATerminalLineOfItsOwnOrInTenthsInAPipe) {
    const std::regex drawn(R"(\x1b\[2K(\w+) +\[[# ]*\] +(\d+) %  ([0-9.]+) of ([0-9.]+) MiB)");
    struct Row {
        bool terminal;
        unsigned short columns;  // of the terminal; 0: unknown
        std::regex figures;      // one phase's progress: title, percent, done, total
    };
    const Row rows[] = {
        {true, 0, drawn},
        // Narrower than a whole line: a wrapped line would break the redraw.
        {true, 72, drawn},
        {false, 0, std::regex(R"((?:^|\n)(\w+) (\d+) %: ([0-9.]+) of ([0-9.]+) MiB)")},
    };
    for (const Row& row : rows) {
        const std::string name =
            row.terminal ? "terminal" + std::to_string(row.columns) : std::string("pipe");
        SCOPED_TRACE(name);
        const std::vector<std::string> args = update(name);
        std::string output;
        const int status = row.terminal ? run_on_terminal(args, row.columns, output)
                                        : run_program(ATLASYNC_TOOL_PATH, args, &output);
        ASSERT_EQ(status, 0) << output;
        EXPECT_EQ(output.find('\r') != std::string::npos, row.terminal) << output;
        // What follows the progress starts a line of its own.
        EXPECT_NE(output.find("\ndownload: 0\n"), std::string::npos) << output;
        EXPECT_FALSE(std::regex_search(output, std::regex(R"(MiB[^\n]*[a-z_]+: \d)"))) << output;
        const std::regex line("\x1b\\[2K([^\r\n]*)");
        for (std::sregex_iterator at(output.begin(), output.end(), line), end;
             row.columns > 0 && at != end; ++at) {
            EXPECT_LT((*at)[1].length(), row.columns) << (*at)[1];
        }
        std::map<std::string, std::pair<int, int>> shown;  // percent, lines, by phase
        for (std::sregex_iterator at(output.begin(), output.end(), row.figures), end; at != end;
             ++at) {
            const int percent = std::stoi((*at)[2]);
            auto& [last, lines] = shown.try_emplace((*at)[1], -1, 0).first->second;
            EXPECT_GE(percent, last) << (*at)[0];
            EXPECT_LE(std::stod((*at)[3]), std::stod((*at)[4])) << (*at)[0];
            if (!row.terminal) {
                EXPECT_EQ(percent % 10, 0) << (*at)[0];
                EXPECT_GT(percent, last) << (*at)[0];
            }
            last = percent;
            ++lines;
        }
        EXPECT_GT(shown["download"].second, 0) << output;
        EXPECT_GT(shown["unpack"].second, 0) << output;
        if (!row.terminal) {
            EXPECT_LE(shown["download"].second, 10) << output;
            EXPECT_NE(output.find("download PACKAGE_FINISHED: "), std::string::npos) << output;
            EXPECT_NE(output.find("unpack finished: "), std::string::npos) << output;
        }
    }
}

}  // namespace
}  // namespace atlasync::testing
