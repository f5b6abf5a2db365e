#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "service/core/trace.h"

using namespace MapsService;

namespace {

std::string narrow_format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = format_trace_message(format, args);
    va_end(args);
    return out;
}

std::string wide_format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = format_trace_message(format, args);
    va_end(args);
    return out;
}

}  // namespace

TEST(TraceFormat, WideStringConversionsTakeWideArgumentsWithFlagsAndWidths) {
    EXPECT_EQ(wide_format(L"setting server root to %s", L"example.org"),
              "setting server root to example.org");
    EXPECT_EQ(wide_format(L"[%-6s|%3c|%5.1f%%]", L"ab", L'z', 2.25), "[ab    |  z|  2.2%]");
    EXPECT_EQ(wide_format(L"%d%%s", 5), "5%s");
}

TEST(TraceFormat, WideMessagesBecomeUtf8) {
    EXPECT_EQ(wide_format(L"%s", L"\u00fcber \u65e5\u672c \U0001F600"),
              "\xc3\xbc"
              "ber \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x98\x80");
}

TEST(TraceFormat, BothFormsCutAt1023Characters) {
    const std::string longNarrow(3000, 'n');
    EXPECT_EQ(narrow_format("%s", longNarrow.c_str()), std::string(1023, 'n'));
    const std::wstring longWide(3000, L'w');
    EXPECT_EQ(wide_format(L"%s", longWide.c_str()), std::string(1023, 'w'));
}

TEST(TraceFormat, LevelTagsAreElevenCharactersAndUnknownLevelsHaveTheirOwn) {
    EXPECT_STREQ(trace_level_tag(0), " [generic] ");
    EXPECT_STREQ(trace_level_tag(1), " [Error]   ");
    EXPECT_STREQ(trace_level_tag(2), " [Warning] ");
    EXPECT_STREQ(trace_level_tag(3), " [Info]    ");
    EXPECT_STREQ(trace_level_tag(4), " [Debug]   ");
    EXPECT_STREQ(trace_level_tag(9), " [???]     ");
    for (int level = -1; level <= 5; ++level) {
        EXPECT_EQ(std::string(trace_level_tag(level)).size(), 11u);
    }
}
