#include "ui/messaging/ui_language_manager.h"

#include <gtest/gtest.h>

#include <QSettings>

#include "tests/support/temp_dir.h"
#include "tests/ui/qt_test_support.h"
#include "ui/messaging/windows_locale_ids.h"
#include "ui/wizard/string_table.h"

using namespace atlasync::ui;
using namespace atlasync::testing;

namespace {

class LanguageManagerTest : public ::testing::Test {
protected:
    void module(std::uint32_t id, const std::string& successText) {
        char name[32];
        std::snprintf(name, sizeof name, "Atlasync%04x.lang", id);
        write_file(dir / name, "125=" + successText + "\n");
    }

    // The language the manager ends up with for a profile and a default language.
    std::uint32_t chosen(std::uint32_t profile, std::uint32_t userDefault) {
        CUILanguageManager manager({dir.path()});
        manager.choose_initial(profile, userDefault);
        return manager.current_language();
    }

    TempDir dir;
};

TEST_F(LanguageManagerTest, MissingLocaleModuleFallsBackInOrder) {
    module(0x0407, "Erfolg");
    module(0x040c, "Succes");
    module(0x0409, "Success");
    // Italian is asked for and missing: the user's German comes next.
    EXPECT_EQ(chosen(0x0410, 0x0407), 0x0407u);
    // Swiss German has no module: the German one shares its primary language.
    EXPECT_EQ(chosen(0x0410, 0x0807), 0x0407u);
    // Japanese has none at all: US English.
    EXPECT_EQ(chosen(0x0410, 0x0411), CUILanguageManager::kUsEnglish);
    std::filesystem::remove(dir / "Atlasync0409.lang");
    // Without US English: the first available module.
    EXPECT_EQ(chosen(0x0410, 0x0411), 0x0407u);
    // A profile choice that loads wins over everything.
    EXPECT_EQ(chosen(0x040c, 0x0407), 0x040cu);
}

TEST_F(LanguageManagerTest, NothingToLoadLeavesTheBuiltInTexts) {
    write_file(dir / "Atlasync04xy.lang", "125=broken name\n");
    write_file(dir / "Atlasync0407.txt", "125=wrong suffix\n");
    CUILanguageManager manager({dir.path()});
    EXPECT_TRUE(manager.available_languages().empty());
    manager.choose_initial(0x0407, 0x0407);
    EXPECT_EQ(manager.current_language(), CUILanguageManager::kNoLanguage);
    EXPECT_EQ(text(125), L"Update was successful!");
}

TEST_F(LanguageManagerTest, SwitchingReplacesTextsAndAFailedSwitchKeepsTheLanguage) {
    module(0x0413, "Gelukt");
    module(0x0407, "Erfolg");
    TempDir second;
    write_file(second / "Atlasync040C.lang", "125=Succes\n");  // upper-case digits are found too
    {
        CUILanguageManager manager({dir.path(), second.path()});
        EXPECT_EQ(manager.available_languages(),
                  (std::vector<std::uint32_t>{0x0407, 0x040c, 0x0413}));
        EXPECT_TRUE(manager.switch_language(0x0413));
        EXPECT_EQ(text(125), L"Gelukt");
        EXPECT_FALSE(manager.switch_language(0x0411));
        EXPECT_EQ(manager.current_language(), 0x0413u);
        EXPECT_EQ(text(125), L"Gelukt");
        EXPECT_TRUE(manager.switch_language(0x040c));
        EXPECT_EQ(text(125), L"Succes");
        EXPECT_EQ(text(127), L"There are no new updates for your phone!");
    }
    EXPECT_EQ(text(125), L"Update was successful!");
}

TEST(ShippedLanguages, EveryShippedModuleIsOfferedAndEnglishKeepsTheBuiltInTexts) {
    CUILanguageManager manager({ATLASYNC_LANGUAGES_DIR});
    EXPECT_EQ(manager.available_languages(),
              (std::vector<std::uint32_t>{0x0407, 0x0409, 0x040c, 0x0c0a}));
    struct Case {
        const char* locale;
        std::uint32_t chosen;
        const wchar_t* success;
    };
    const Case cases[] = {
        {"de_AT.UTF-8", 0x0407, L"Aktualisierung erfolgreich!"},
        {"fr_CA.UTF-8", 0x040c, L"Mise \u00E0 jour r\u00E9ussie\u00A0!"},
        {"es_ES.UTF-8", 0x0c0a, L"\u00A1Actualizaci\u00F3n completada!"},
        {"en_GB.UTF-8", 0x0409, L"Update was successful!"},
        // A language without a module of its own, or none at all: English.
        {"ja_JP.UTF-8", 0x0409, L"Update was successful!"},
        {"C.UTF-8", 0x0409, L"Update was successful!"},
    };
    for (const Case& c : cases) {
        manager.choose_initial(0, windows_locale_id(c.locale));
        EXPECT_EQ(manager.current_language(), c.chosen) << c.locale;
        EXPECT_EQ(text(125), c.success) << c.locale;
    }
}

TEST_F(LanguageManagerTest, ProfileLocaleIsReadFromTheApplicationProfile) {
    qt_application();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.path().string()));
    EXPECT_EQ(CUILanguageManager::profile_language(), 0u);
    {
        QSettings profile(QStringLiteral("Velka"), QStringLiteral("Atlasync"));
        profile.setValue(QStringLiteral("Settings/Locale"), 1031);
    }
    EXPECT_EQ(CUILanguageManager::profile_language(), 1031u);
    EXPECT_TRUE(std::filesystem::exists(dir / "Velka" / "Atlasync.conf"));
}

TEST(WindowsLocaleIds, PosixLocaleNamesMapToLanguageIds) {
    EXPECT_EQ(windows_locale_id("en_US.UTF-8"), 1033u);
    EXPECT_EQ(windows_locale_id("en"), 0x0409u);
    EXPECT_EQ(windows_locale_id("en_GB"), 0x0809u);
    EXPECT_EQ(windows_locale_id("de_DE@euro"), 0x0407u);
    EXPECT_EQ(windows_locale_id("pt_BR"), 0x0416u);
    EXPECT_EQ(windows_locale_id("pt_PT"), 0x0816u);
    EXPECT_EQ(windows_locale_id("zh_CN"), 0x0804u);
    EXPECT_EQ(windows_locale_id("C"), 0u);
    EXPECT_EQ(windows_locale_id(""), 0u);
    EXPECT_EQ(primary_language(0x0807), primary_language(0x0407));
}

TEST(WindowsLocaleIds, LanguageIdsMapBackToPosixLocaleNames) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x0407, "de"},
        {0x0409, "en"},
        {0x040c, "fr"},
        {0x0c0a, "es_ES"},
        {0x0809, "en_GB"},
        {0x0814, "nn_NO"},
        // A variant we do not know is its language; a language we do not know is none.
        {0x1407, "de"},
        {0x0436, ""},
    };
    for (const auto& [id, name] : cases) {
        EXPECT_EQ(posix_locale_name(id), name) << std::hex << id;
    }
}

}  // namespace
