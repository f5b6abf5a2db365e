#include "ui/messaging/phone_msg_logger.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <sstream>

#include "service/core/message_queue.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/observer_test_support.h"
#include "ui/messaging/program_folders.h"

using namespace atlasync::ui;
using namespace atlasync::testing;

namespace {

std::vector<std::string> lines_of(const std::string& content) {
    std::vector<std::string> lines;
    std::istringstream stream(content);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(PhoneMsgLogger, EmptyLogGetsTheComputerNameHeaderBeforeItsFirstLine) {
    TempDir dir;
    const auto path = dir / "PhoneMsg.log";
    write_file(path, "");
    PumpFixture fixture;
    CPhoneMsgLogger logger(fixture.pump(), path);
    TestPhone phone(3, L"Velka 6220");
    MapsService::OnPhoneFound(&phone);
    MapsService::OnDeleteProgress(MapsService::ITEM_PROGRESS, 0, 1200, 40.0);
    fixture.deliver();

    const std::string content = read_file(path);
    const auto lines = lines_of(content);
    ASSERT_EQ(lines.size(), 4u) << content;
    EXPECT_EQ(lines[0], "-- " + computer_name() + " --\r");
    const std::regex stamp(R"(^\d{1,2}\.\d{1,2}\.\d{4} \d\d:\d\d:\d\d\.\d\d\d (.*)\r$)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[1], match, stamp)) << lines[1];
    EXPECT_EQ(match[1], "MSG_PHONE_FOUND Velka 6220");
    ASSERT_TRUE(std::regex_match(lines[2], match, stamp)) << lines[2];
    EXPECT_EQ(match[1].str().rfind("MSG_DELETE_PROGRESS type: ITEM_PROGRESS", 0), 0u) << match[1];
    ASSERT_TRUE(std::regex_match(lines[3], match, stamp)) << lines[3];
    EXPECT_EQ(match[1], "MSG_API_UPDATE_AVAILABLE ");  // deliver()'s marker
}

TEST(PhoneMsgLogger, ExistingLogIsAppendedToWithoutASecondHeader) {
    TempDir dir;
    const auto path = dir / "PhoneMsg.log";
    write_file(path, "-- earlier --\r\n1.2.2026 10:00:00.000 MSG_FINISH \r\n");
    CLogFile log(path);
    EXPECT_TRUE(log.write_line("line\r\n"));
    EXPECT_EQ(read_file(path), "-- earlier --\r\n1.2.2026 10:00:00.000 MSG_FINISH \r\nline\r\n");
}

TEST(PhoneMsgLogger, LogThatCannotBeOpenedIsSkipped) {
    TempDir dir;
    CLogFile log(dir / "missing-folder" / "PhoneMsg.log");
    EXPECT_FALSE(log.write_line("line\r\n"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing-folder"));
}

TEST(PhoneMsgLogger, TimeStampHasUnpaddedDayAndMonth) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 7;
    local.tm_hour = 9;
    local.tm_min = 5;
    local.tm_sec = 3;
    local.tm_isdst = -1;
    const auto when =
        std::chrono::system_clock::from_time_t(std::mktime(&local)) + std::chrono::milliseconds(42);
    EXPECT_EQ(log_time_stamp(when), "7.3.2026 09:05:03.042");
}

TEST(ProgramFolders, WrittenFilesGoIntoThePrivateStateFolderNeverBesideTheProgram) {
    // Run as root, the message log used to land beside the program, in /usr/bin.
    TempDir dir;
    EXPECT_EQ(program_write_path("PhoneMsg.log", dir / "state", dir / "home"),
              dir / "state" / "atlasync" / "PhoneMsg.log");
    struct stat info {};
    ASSERT_EQ(stat((dir / "state" / "atlasync").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(program_write_path("PhoneMsg.log", "relative/state", dir / "home"),
              dir / "home" / ".local" / "state" / "atlasync" / "PhoneMsg.log");
    EXPECT_EQ(program_write_path("PhoneMsg.log", "", ""), std::filesystem::path());
    // A file where the folder should be is no folder to write into.
    write_file(dir / "taken" / "atlasync", "");
    EXPECT_EQ(program_write_path("PhoneMsg.log", dir / "taken", ""), std::filesystem::path());
}

}  // namespace
