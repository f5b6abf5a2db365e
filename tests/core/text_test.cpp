#include "service/core/text.h"

#include <gtest/gtest.h>

using namespace MapsService;

TEST(Text, RoundTripsEveryPlane) {
    const std::wstring wide = L"ASCII \u00e4\u00f6\u00fc \u20ac \u65e5\u672c \U0001F5FA";
    EXPECT_EQ(to_wide(to_narrow(wide)), wide);
    EXPECT_EQ(to_narrow(L"\u20ac"), "\xe2\x82\xac");
}

TEST(Text, InvalidUtf8BecomesReplacementCharactersWithoutLosingTheRest) {
    EXPECT_EQ(to_wide("a\xff"
                      "b"),
              L"a\uFFFDb");
    EXPECT_EQ(to_wide("a\xe2\x82"), L"a\uFFFD");  // cut sequence at the end
    EXPECT_EQ(to_wide("\xc0\xaf"
                      "x"),
              L"\uFFFDx");  // overlong slash
    EXPECT_EQ(to_wide("\xed\xa0\x80"
                      "y"),
              L"\uFFFDy");                      // encoded surrogate
    EXPECT_EQ(to_wide("\xe2(x"), L"\uFFFD(x");  // broken continuation kept
}
