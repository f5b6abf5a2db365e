#include "ui/wizard/error_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ui/wizard/language_module.h"

using namespace atlasync::ui;

TEST(ErrorTable, CodesWithoutARowGiveTheUnknownFailureTextAndNoRetry) {
    for (const int code : {0, 8, 20, 99, 115, -1, 0x8001}) {
        EXPECT_EQ(error_text(code), L"Unknown failure (" + std::to_wstring(code) + L").") << code;
        EXPECT_FALSE(retryable(code)) << code;
        EXPECT_EQ(find_error_row(code), nullptr) << code;
    }
}

TEST(ErrorTable, RowsGiveTheirTextWithTheCodeAndTheirRetryMark) {
    struct Case {
        int code;
        TextId textId;
        bool retryable;
        const wchar_t* text;
    };
    const Case cases[] = {
        // Shown never, yet present: the wizard treats 6 as success.
        {6, 114, false, L"Internal Error: Maps need update (6)."},
        {13, 120, true, L"The data on the phone is write protected (13)."},
        {114, 165, false, L"The installer is not supported by your phone (114)."},
        {1, 109, false, L"Unspecified error (1)."},
        {15, 132, true,
         L"Phone drive lost (15). \nIf you disconnected your phone, please reconnect it and try "
         L"again."},
        {109, 155, true,
         L"Your phone is busy with installing an application (109). Please wait until the "
         L"installation is ready, and then try again."},
        {113, 159, false, L"Installation failed (113 - 0x80600004)"},
        {19, 166, true,
         L"Another update of this drive is running (19). Wait until it has finished, then try "
         L"again."},
    };
    for (const auto& c : cases) {
        const ErrorRow* row = find_error_row(c.code);
        ASSERT_NE(row, nullptr) << c.code;
        EXPECT_EQ(row->textId, c.textId) << c.code;
        EXPECT_EQ(error_text(c.code), c.text) << c.code;
        EXPECT_EQ(retryable(c.code), c.retryable) << c.code;
    }
}

TEST(ErrorTable, EveryRowHasABuiltInTextWithThePlaceholder) {
    int rows = 0;
    for (int code = -1; code < 200; ++code) {
        if (const ErrorRow* row = find_error_row(code)) {
            ++rows;
            const wchar_t* builtin = builtin_text(row->textId);
            ASSERT_NE(builtin, nullptr) << code;
            EXPECT_NE(std::wstring(builtin).find(L"%1"), std::wstring::npos) << code;
        }
    }
    EXPECT_EQ(rows, 33);
}

TEST(ErrorTable, TextsFollowTheLanguageModuleInUse) {
    set_language_module(std::make_shared<LanguageModule>(
        LanguageModule::parse("120=Die Daten sind schreibgesch\xC3\xBCtzt (%1).\n")));
    EXPECT_EQ(error_text(13), L"Die Daten sind schreibgesch\u00FCtzt (13).");
    EXPECT_EQ(error_text(14), L"There is no more space on the phone (14).");
    set_language_module(nullptr);
    EXPECT_EQ(error_text(13), L"The data on the phone is write protected (13).");
}

TEST(ResultCodes, OnlyTheFourSuccessOutcomesAreSuccess) {
    std::vector<int> successes;
    for (int code = -1; code < 200; ++code) {
        if (MapsService::is_success(code)) {
            successes.push_back(code);
        }
    }
    EXPECT_EQ(successes, (std::vector<int>{0, 6, 7, 8}));
    EXPECT_FALSE(MapsService::is_success(MapsService::kResultMapVersionChanged));
}
