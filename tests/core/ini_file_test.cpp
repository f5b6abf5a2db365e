#include "service/core/ini_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

using namespace MapsService;
using atlasync::testing::TempDir;
using atlasync::testing::write_file;

namespace {

struct IniCase {
    TempDir dir;
    IniFile ini;
    explicit IniCase(const std::string& content) : ini((dir / "msapi.ini").string()) {
        write_file(dir / "msapi.ini", content);
    }
};

}  // namespace

TEST(IniFile, MissingFileGivesEveryDefault) {
    TempDir dir;
    IniFile ini((dir / "absent.ini").string());
    EXPECT_FALSE(ini.load());
    EXPECT_EQ(ini.get_int(L"tracelevel", 1), 1);
    EXPECT_EQ(ini.get_string(L"logfile", L"none"), L"none");
}

TEST(IniFile, KeysAreCaseInsensitiveButKeepTheirBlanks) {
    IniCase c("TraceLevel=4\r\nLogFile = spaced\r\n[Settings]\n; comment\n");
    EXPECT_TRUE(c.ini.load());
    EXPECT_EQ(c.ini.get_int(L"tracelevel", 1), 4);
    EXPECT_EQ(c.ini.get_int(L"TRACELEVEL", 1), 4);
    // "LogFile " with its trailing blank is a different key.
    EXPECT_EQ(c.ini.get_string(L"logfile", L"default"), L"default");
    EXPECT_EQ(c.ini.get_string(L"logfile ", L"default"), L"");
}

TEST(IniFile, UnquotedValuesEndAtTheFirstBlankQuotedAtTheClosingQuote) {
    IniCase c("a=one two\nb=\"one two\" rest\nc=\"open ended\nd=\ne=x=y\n");
    EXPECT_EQ(c.ini.get_string(L"a", L""), L"one");
    EXPECT_EQ(c.ini.get_string(L"b", L""), L"one two");
    EXPECT_EQ(c.ini.get_string(L"c", L""), L"open ended");
    EXPECT_EQ(c.ini.get_string(L"d", L"default"), L"");
    EXPECT_EQ(c.ini.get_string(L"e", L""), L"x=y");
}

TEST(IniFile, IntegersFollowAtoiAndLaterLinesWin) {
    IniCase c("n=12abc\nword=abc\nn2=1\nn2=7\nlast=5");
    EXPECT_EQ(c.ini.get_int(L"n", -1), 12);
    EXPECT_EQ(c.ini.get_int(L"word", -1), 0);  // present but not numeric: 0, not the default
    EXPECT_EQ(c.ini.get_int(L"n2", -1), 7);
    EXPECT_EQ(c.ini.get_int(L"last", -1), 5);  // final line without a line feed
    EXPECT_EQ(c.ini.get_int(L"absent", -1), -1);
}

TEST(IniFile, TheFileIsReadOnlyOnce) {
    IniCase c("key=first\n");
    EXPECT_EQ(c.ini.get_string(L"key", L""), L"first");
    write_file(c.dir / "msapi.ini", "key=second\n");
    EXPECT_EQ(c.ini.get_string(L"key", L""), L"first");

    TempDir dir;
    IniFile late((dir / "msapi.ini").string());
    EXPECT_FALSE(late.load());
    write_file(dir / "msapi.ini", "key=value\n");
    EXPECT_FALSE(late.load());
    EXPECT_EQ(late.get_string(L"key", L"default"), L"default");
}

TEST(IniFile, Utf8ValuesAreWidened) {
    IniCase c("name=\"K\xc3\xa4rnten\"\n");
    EXPECT_EQ(c.ini.get_string(L"name", L""), L"K\u00e4rnten");
}
