#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

class QTranslator;

namespace atlasync::ui {

// Chooses and switches the language of the user interface. Language modules
// are files "Atlasync" + four hexadecimal digits + ".lang" in the program's
// folders; the digits are the language id. A loaded module replaces the
// built-in texts by id; without one the built-in English texts stay in use.
// Qt's own texts (the standard buttons of its dialogs) follow the language
// through Qt's translations for it, when the system has them.
class CUILanguageManager {
public:
    static constexpr std::uint32_t kNoLanguage = 127;
    static constexpr std::uint32_t kUsEnglish = 1033;

    // Finds the modules in the folders, earlier folders first; chooses nothing yet.
    explicit CUILanguageManager(std::vector<std::filesystem::path> folders);
    // The built-in texts come back, and Qt's own English ones.
    ~CUILanguageManager();
    CUILanguageManager(const CUILanguageManager&) = delete;
    CUILanguageManager& operator=(const CUILanguageManager&) = delete;

    // The process-wide manager: the first acquirer creates it over the program's
    // folders and makes the initial choice; it lives while anyone holds it.
    static std::shared_ptr<CUILanguageManager> acquire();

    std::uint32_t current_language() const { return m_current; }
    // Ascending ids.
    const std::vector<std::uint32_t>& available_languages() const { return m_available; }

    // Loads the module of the id; on failure keeps the current language. Call
    // on the user-interface thread: Qt's translations are switched with it.
    bool switch_language(std::uint32_t languageId);

    // Stops at the first language that loads: the profile's choice (0: none),
    // the user's default, an available id equal to its low 16 bits, one of the
    // same primary language, US English, the first available one.
    void choose_initial(std::uint32_t profileLanguage, std::uint32_t userDefaultLanguage);

    // "Locale" of the profile's section "Settings"; 0 when unset.
    static std::uint32_t profile_language();
    // The user's default language id from the system locale; 0 when unknown.
    static std::uint32_t user_default_language();

private:
    std::filesystem::path module_path(std::uint32_t languageId) const;
    void translate_qt_texts(std::uint32_t languageId);

    std::vector<std::filesystem::path> m_folders;
    std::map<std::uint32_t, std::filesystem::path> m_modules;
    std::vector<std::uint32_t> m_available;
    std::uint32_t m_current = kNoLanguage;
    // Installed in the application while the language is not English.
    std::unique_ptr<QTranslator> m_qtTranslation;
};

}  // namespace atlasync::ui
