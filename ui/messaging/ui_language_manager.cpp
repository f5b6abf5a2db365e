#include "ui/messaging/ui_language_manager.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>
#include <cstdio>
#include <mutex>

#include "service/core/exceptions.h"
#include "service/core/trace.h"
#include "ui/messaging/program_folders.h"
#include "ui/messaging/windows_locale_ids.h"
#include "ui/wizard/language_module.h"

namespace atlasync::ui {

namespace fs = std::filesystem;

namespace {

// "Atlasync" + four hexadecimal digits + ".lang"; the id, or none.
std::optional<std::uint32_t> module_language(const std::string& fileName) {
    constexpr std::string_view kPrefix = "Atlasync";
    constexpr std::string_view kSuffix = ".lang";
    if (fileName.size() != kPrefix.size() + 4 + kSuffix.size() || !fileName.starts_with(kPrefix) ||
        !fileName.ends_with(kSuffix)) {
        return std::nullopt;
    }
    std::uint32_t id = 0;
    for (std::size_t i = kPrefix.size(); i < kPrefix.size() + 4; ++i) {
        const char c = fileName[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        id = id * 16 + static_cast<std::uint32_t>(digit);
    }
    return id;
}

std::string module_file_name(std::uint32_t languageId) {
    char name[32];
    std::snprintf(name, sizeof name, "Atlasync%04x.lang", languageId & 0xFFFF);
    return name;
}

}  // namespace

CUILanguageManager::CUILanguageManager(std::vector<fs::path> folders)
    : m_folders(std::move(folders)) {
    for (const auto& folder : m_folders) {
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            if (const auto id = module_language(it->path().filename().string())) {
                m_modules.try_emplace(*id, it->path());
            }
        }
    }
    for (const auto& [id, path] : m_modules) {
        m_available.push_back(id);
    }
}

CUILanguageManager::~CUILanguageManager() {
    if (m_current != kNoLanguage) {
        set_language_module(nullptr);
    }
}

std::shared_ptr<CUILanguageManager> CUILanguageManager::acquire() {
    static std::mutex mutex;
    static std::weak_ptr<CUILanguageManager> instance;
    std::lock_guard lock(mutex);
    if (auto manager = instance.lock()) {
        return manager;
    }
    auto manager = std::make_shared<CUILanguageManager>(program_read_folders());
    manager->choose_initial(profile_language(), user_default_language());
    instance = manager;
    return manager;
}

fs::path CUILanguageManager::module_path(std::uint32_t languageId) const {
    if (const auto found = m_modules.find(languageId); found != m_modules.end()) {
        return found->second;
    }
    // A module that appeared after the folders were read.
    for (const auto& folder : m_folders) {
        const fs::path candidate = folder / module_file_name(languageId);
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) {
            return candidate;
        }
    }
    return {};
}

bool CUILanguageManager::switch_language(std::uint32_t languageId) {
    const fs::path path = module_path(languageId);
    if (path.empty() || languageId > 0xFFFF) {
        return false;
    }
    try {
        set_language_module(
            std::make_shared<LanguageModule>(LanguageModule::load(path, languageId)));
    } catch (const MapsService::Exception&) {
        MapsService::TraceWarning(L"language module %d not loaded", static_cast<int>(languageId));
        return false;
    }
    m_current = languageId;
    translate_qt_texts(languageId);
    return true;
}

void CUILanguageManager::translate_qt_texts(std::uint32_t languageId) {
    // A translator's end takes it out of the application.
    m_qtTranslation.reset();
    // Qt's own texts are English already; without an application Qt shows none.
    if (primary_language(languageId) == primary_language(kUsEnglish) ||
        QCoreApplication::instance() == nullptr) {
        return;
    }
    auto translation = std::make_unique<QTranslator>();
    const QLocale locale(QString::fromStdString(posix_locale_name(languageId)));
    // Tries qtbase_de_DE.qm, then qtbase_de.qm.
    if (!translation->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        MapsService::TraceWarning(L"no Qt translation for language %d",
                                  static_cast<int>(languageId));
        return;
    }
    if (QCoreApplication::installTranslator(translation.get())) {
        m_qtTranslation = std::move(translation);
    }
}

void CUILanguageManager::choose_initial(std::uint32_t profileLanguage,
                                        std::uint32_t userDefaultLanguage) {
    if (profileLanguage != 0 && switch_language(profileLanguage)) {
        return;
    }
    if (userDefaultLanguage != 0 && switch_language(userDefaultLanguage)) {
        return;
    }
    for (const std::uint32_t id : m_available) {
        if (id == (userDefaultLanguage & 0xFFFF) && switch_language(id)) {
            return;
        }
    }
    for (const std::uint32_t id : m_available) {
        if (primary_language(id) == primary_language(userDefaultLanguage) && switch_language(id)) {
            return;
        }
    }
    if (switch_language(kUsEnglish)) {
        return;
    }
    if (!m_available.empty()) {
        (void)switch_language(m_available.front());
    }
}

std::uint32_t CUILanguageManager::profile_language() {
    QSettings profile(QStringLiteral("Velka"), QStringLiteral("Atlasync"));
    bool ok = false;
    const uint value = profile.value(QStringLiteral("Settings/Locale"), 0).toUInt(&ok);
    return ok ? value : 0;
}

std::uint32_t CUILanguageManager::user_default_language() {
    return windows_locale_id(QLocale::system().name().toStdString());
}

}  // namespace atlasync::ui
