#include "ui/wizard/string_table.h"

#include <gtest/gtest.h>

#include <memory>

#include "service/core/exceptions.h"
#include "tests/support/temp_dir.h"
#include "ui/wizard/language_module.h"

using namespace atlasync::ui;
using atlasync::testing::TempDir;
using atlasync::testing::write_file;

TEST(StringTable, BuiltInTextsKeepTheirMarkUpAndLineBreaks) {
    EXPECT_EQ(text(161),
              L"Another instance of Atlasync or Mapporter is already running. To continue "
              L"Atlasync, please close the other program first.");
    EXPECT_EQ(text(117),
              L"Error while accessing the phone (%1).\n\nIf you disconnected your "
              L"phone, please reconnect it and restart the Atlasync.");
    EXPECT_EQ(text(163), L" Estimated time: <font color=\"blue\">%1 Minutes");
    EXPECT_EQ(text(dialog_text_id(140, 0)), L"Get Connected");
    EXPECT_EQ(text(dialog_text_id(147, 1021)), L"Yes");
    EXPECT_EQ(text(9999), L"");
    EXPECT_EQ(builtin_text(123), nullptr);
}

TEST(StringTable, EveryTextTheWizardShowsIsBuiltIn) {
    const TextId ids[] = {101, 103, 104, 105, 106, 107, 108, 125, 126, 127, 128, 129, 130, 131,
                          133, 134, 135, 136, 137, 138, 139, 144, 145, 160, 161, 162, 163, 164};
    for (const TextId id : ids) {
        EXPECT_NE(builtin_text(id), nullptr) << id;
    }
}

TEST(StringTable, FormatFillsNumberedPlaceholdersOnce) {
    EXPECT_EQ(format_text(text(135), {L"1.2.3.4", L"12.5", L"New maps"}),
              L"12.5 MB<br><font size=\"5px\"><br><font face=\"Velka Sans\" "
              L"size=\"16px\">New maps");
    // An argument that itself holds a placeholder is not expanded again.
    EXPECT_EQ(format_text(L"%1 and %2", {L"%2", L"b"}), L"%2 and b");
    EXPECT_EQ(format_text(L"%3 stays, 100% too", {L"a"}), L"%3 stays, 100% too");
}

TEST(StringTable, LanguageModuleReplacesTextsByIdAndKeepsTheRest) {
    TempDir dir;
    write_file(dir / "Atlasync0407.lang",
               "\xEF\xBB\xBF# German\r\n"
               "125=Aktualisierung erfolgreich!\r\n"
               "117=Fehler (%1).\\n\\nBitte neu verbinden.\r\n"
               "not a line\r\n"
               "12x=broken id\r\n"
               "\r\n"
               "162=Atlasync \\\\ Deutsch\r\n");
    auto module = std::make_shared<LanguageModule>(LanguageModule::load(dir / "Atlasync0407.lang"));
    EXPECT_EQ(module->size(), 3u);
    set_language_module(module);
    EXPECT_EQ(text(125), L"Aktualisierung erfolgreich!");
    EXPECT_EQ(text(117), L"Fehler (%1).\n\nBitte neu verbinden.");
    EXPECT_EQ(text(162), L"Atlasync \\ Deutsch");
    EXPECT_EQ(text(127), L"There are no new updates for your phone!");
    set_language_module(nullptr);
    EXPECT_EQ(text(125), L"Update was successful!");
}

TEST(StringTable, MissingLanguageModuleFileIsAnError) {
    TempDir dir;
    EXPECT_THROW(LanguageModule::load(dir / "Atlasync0409.lang"), MapsService::Exception);
}
