#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

using atlasync::testing::read_file;
using atlasync::testing::run_program;
using atlasync::testing::TempDir;
using atlasync::testing::write_file;

namespace {

std::vector<std::string> split_lines(const std::string& text) {
    std::istringstream log(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Runs the probe in a folder holding the given msapi.ini (none when empty),
// with the folder as its state home, where a relative log file goes.
std::vector<std::string> trace_lines(const TempDir& dir, const std::string& ini,
                                     const std::string& logName = "trace.log",
                                     const std::vector<std::string>& extra = {}) {
    if (!ini.empty()) {
        write_file(dir / "msapi.ini", ini);
    }
    setenv("XDG_STATE_HOME", dir.path().c_str(), 1);
    std::vector<std::string> args{"trace"};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(run_program(CORE_PROBE_PATH, args, nullptr, dir.path()), 0);
    return split_lines(read_file(dir / "atlasync" / logName));
}

// The message part of each line: everything after the level tag and its blank.
std::vector<std::string> messages(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines) {
        const auto close = line.find(']');
        const auto start = line.find_first_not_of(' ', close + 1);
        out.push_back(start == std::string::npos ? std::string() : line.substr(start));
    }
    return out;
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& line : lines) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

TEST(TraceFile, EveryFieldOfALineFollowsTheFormat) {
    TempDir dir;
    const auto lines = trace_lines(dir, "logfile=trace.log\ntracelevel=4\n");
    ASSERT_FALSE(lines.empty());
    // day.month.year without leading zeros, zero-padded time with milliseconds,
    // "(tid)", the eleven-character tag, one blank, the message.
    const std::regex format(
        R"(^([1-9]|[12][0-9]|3[01])\.([1-9]|1[0-2])\.(\d{4}) ([01]\d|2[0-3]):([0-5]\d):([0-5]\d)\.(\d{3}) \((\d+)\)( \[(?:Error\]   |Warning\] |Info\]    |Debug\]   )) (.*)$)");
    for (const auto& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, format)) << line;
        EXPECT_EQ(match[9].length(), 11) << line;
        EXPECT_GE(std::stoi(match[3]), 2024);
        EXPECT_GT(std::stoi(match[8]), 0);
    }
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[2], match, format));
    EXPECT_EQ(match[9].str(), " [Info]    ");
    EXPECT_EQ(match[10].str(), "select phone drive with id 3");
    ASSERT_TRUE(std::regex_match(lines[1], match, format));
    EXPECT_EQ(match[9].str(), " [Warning] ");
    EXPECT_EQ(match[10].str(), "warning line 2");
}

TEST(TraceFile, LevelFourWritesEveryEntryPointAndScopePairsInOrder) {
    TempDir dir;
    const auto got = messages(trace_lines(dir, "TraceLevel=4\nlogfile=trace.log\n"));
    const std::vector<std::string> expected{
        "error line 1",
        "warning line 2",
        "select phone drive with id 3",
        "drive K\u00e4rnten \u00c5land \u65e5\u672c ready",
        "debug line narrow",
        ">> enter MapsService::probe",
        "inside scope",
        "<< leave MapsService::probe",
    };
    ASSERT_GE(got.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 8), expected);
    EXPECT_TRUE(contains(got, "Exception created (error in operation on local disk)"));
    EXPECT_TRUE(contains(got, "caught code 5"));
}

TEST(TraceFile, DefaultLevelWritesOnlyErrorLines) {
    TempDir dir;
    const auto got = trace_lines(dir, "logfile=trace.log");
    for (const auto& line : got) {
        EXPECT_NE(line.find(" [Error]   "), std::string::npos) << line;
    }
    EXPECT_TRUE(contains(got, "Exception created (error in operation on local disk)"));
    EXPECT_FALSE(contains(got, "select phone drive"));
}

TEST(TraceFile, LevelsOutsideTheRangeAreIgnoredAndZeroWritesNothing) {
    for (const std::string level : {"7", "-1"}) {
        TempDir dir;
        const auto got = trace_lines(dir, "logfile=trace.log\ntracelevel=" + level + "\n");
        EXPECT_TRUE(contains(got, "error line 1")) << level;
        EXPECT_FALSE(contains(got, "warning line 2")) << level;
    }
    TempDir dir;
    EXPECT_TRUE(trace_lines(dir, "logfile=trace.log\ntracelevel=0\n").empty());
}

TEST(TraceFile, KeyWithBlanksAroundTheEqualsSignIsNotRecognised) {
    TempDir dir;
    const auto got = trace_lines(dir, "logfile=trace.log\ntracelevel = 4\n");
    EXPECT_FALSE(contains(got, "select phone drive"));
    EXPECT_TRUE(contains(got, "error line 1"));
}

TEST(TraceFile, NoSettingsFileMeansNoLogAtAll) {
    TempDir dir;
    EXPECT_EQ(run_program(CORE_PROBE_PATH, {"trace"}, nullptr, dir.path()), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(TraceFile, QuotedFileNameMayHoldBlanksUnquotedEndsAtTheFirstBlank) {
    TempDir quoted;
    EXPECT_FALSE(trace_lines(quoted, "logfile=\"my trace.log\"\n", "my trace.log").empty());
    TempDir unquoted;
    EXPECT_FALSE(trace_lines(unquoted, "logfile=my trace.log\n", "my").empty());
    EXPECT_FALSE(std::filesystem::exists(unquoted / "atlasync" / "my trace.log"));
}

TEST(TraceFile, LogIsTruncatedEachRunUnlessClearlogIsZero) {
    TempDir dir;
    const auto first = trace_lines(dir, "logfile=trace.log\n");
    const auto second = trace_lines(dir, "logfile=trace.log\n");
    EXPECT_EQ(first.size(), second.size());
    const auto appended = trace_lines(dir, "logfile=trace.log\nclearlog=0\n");
    EXPECT_EQ(appended.size(), 2 * first.size());
}

TEST(TraceFile, OverlongMessageIsWrittenCutTo1023Characters) {
    TempDir dir;
    const auto got = messages(trace_lines(dir, "logfile=trace.log\n"));
    bool found = false;
    for (const auto& message : got) {
        if (message.rfind("long:", 0) == 0) {
            found = true;
            EXPECT_EQ(message.size(), 1023u);
            EXPECT_EQ(message.substr(message.size() - 4), "xxxx");
        }
    }
    EXPECT_TRUE(found);
}

TEST(TraceFile, ClosingTheTracerLetsTheNextTraceReopenTheLog) {
    TempDir dir;
    // The reopened log is truncated again (clearlog defaults to 1): only the new line remains.
    const auto got = trace_lines(dir, "logfile=trace.log\n", "trace.log", {"reopen"});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NE(got[0].find("after reopen"), std::string::npos);
}

TEST(TraceFile, SettingsDumpListsEveryEntryInKeyOrder) {
    TempDir dir;
    const auto got = messages(
        trace_lines(dir, "tracelevel=4\nLogFile=trace.log\nclearlog=1\n", "trace.log", {"dump"}));
    const std::vector<std::string> expected{"content of INI-File msapi.ini:", "clearlog = 1",
                                            "logfile = trace.log", "tracelevel = 4"};
    std::vector<std::string> dumped;
    bool inDump = false;
    for (const auto& message : got) {
        if (message == expected[0]) {
            inDump = true;
        }
        if (inDump && dumped.size() < expected.size()) {
            dumped.push_back(message);
        }
    }
    EXPECT_EQ(dumped, expected);
}

TEST(TraceFile, RelativeLogGoesToTheUsersPrivateStateFolderNotTheWorkingDirectory) {
    TempDir dir;
    EXPECT_FALSE(trace_lines(dir, "logfile=trace.log\n").empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "trace.log"));
    struct stat info {};
    ASSERT_EQ(stat((dir / "atlasync").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(TraceTarget, CommandLineSendsEveryLevelToStandardErrorOrAFileInsteadOfTheSettingsLog) {
    struct Case {
        std::string ini;
        std::vector<std::string> args;
        std::string where;  // "stderr" or the file, in the working directory
        bool debugLines;
    };
    const Case cases[] = {
        {"logfile=trace.log\n", {"verbose"}, "stderr", true},
        {"", {"verbose"}, "stderr", true},
        {"logfile=trace.log\n", {"log", "mine.log"}, "mine.log", true},
        {"tracelevel=1\n", {"log", "mine.log"}, "mine.log", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (!c.ini.empty()) {
            write_file(dir / "msapi.ini", c.ini);
        }
        setenv("XDG_STATE_HOME", dir.path().c_str(), 1);
        std::string args = std::string(CORE_PROBE_PATH) + " trace";
        for (const std::string& arg : c.args) {
            args += " " + arg;
        }
        std::string output;
        ASSERT_EQ(run_program("/bin/sh", {"-c", args + " 2>&1"}, &output, dir.path()), 0);
        const auto got = split_lines(c.where == "stderr" ? output : read_file(dir / c.where));
        EXPECT_TRUE(contains(got, "error line 1")) << args;
        EXPECT_EQ(contains(got, ">> enter MapsService::probe"), c.debugLines) << args;
        // The settings' own log is not written beside the chosen target.
        EXPECT_FALSE(std::filesystem::exists(dir / "atlasync" / "trace.log")) << args;
    }
}

TEST(TraceTarget, LogThatCannotBeWrittenIsRefusedAtOnce) {
    TempDir dir;
    std::string output;
    EXPECT_EQ(run_program(CORE_PROBE_PATH, {"trace", "log", (dir / "no" / "such.log").string()},
                          &output, dir.path()),
              3);
    EXPECT_NE(output.find("No such file or directory"), std::string::npos) << output;
}
