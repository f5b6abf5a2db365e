#include "ui/pages/language_names.h"

#include <QLocale>
#include <algorithm>
#include <optional>

#include "ui/messaging/ui_language_manager.h"
#include "ui/messaging/windows_locale_ids.h"

namespace atlasync::ui {

namespace {

std::optional<QLocale> locale_of(std::uint32_t languageId) {
    const std::string name = posix_locale_name(languageId);
    if (name.empty()) {
        return std::nullopt;
    }
    const QLocale locale(QString::fromStdString(name));
    if (locale.language() == QLocale::C) {
        return std::nullopt;
    }
    return locale;
}

// Qt names some locales by their dialect ("American English", "español de
// España"); the language's own name is the shortest name of one of its locales
// that the dialect's name contains ("English", "español").
QString language_name(const QLocale& locale) {
    const QString own = locale.nativeLanguageName();
    QString name = own;
    for (const QLocale& other :
         QLocale::matchingLocales(locale.language(), locale.script(), QLocale::AnyTerritory)) {
        const QString candidate = other.nativeLanguageName();
        if (!candidate.isEmpty() && candidate.size() < name.size() &&
            own.contains(candidate, Qt::CaseInsensitive)) {
            name = candidate;
        }
    }
    if (name.isEmpty()) {
        name = QLocale::languageToString(locale.language());
    }
    name[0] = name[0].toUpper();
    return name;
}

struct Entry {
    QString language;
    QString territory;
};

Entry entry_of(std::uint32_t languageId) {
    // Without a language module the built-in texts are in use: US English.
    if (languageId == CUILanguageManager::kNoLanguage) {
        languageId = CUILanguageManager::kUsEnglish;
    }
    if (const auto locale = locale_of(languageId)) {
        return {language_name(*locale), locale->nativeTerritoryName()};
    }
    return {QStringLiteral("0x%1").arg(languageId, 4, 16, QLatin1Char('0')), {}};
}

}  // namespace

QStringList language_display_names(const std::vector<std::uint32_t>& languageIds) {
    std::vector<Entry> entries;
    entries.reserve(languageIds.size());
    for (const std::uint32_t id : languageIds) {
        entries.push_back(entry_of(id));
    }
    QStringList names;
    for (const Entry& entry : entries) {
        const auto namesakes = std::count_if(entries.begin(), entries.end(), [&](const Entry& e) {
            return e.language == entry.language;
        });
        names.push_back(namesakes > 1 && !entry.territory.isEmpty()
                            ? QStringLiteral("%1 (%2)").arg(entry.language, entry.territory)
                            : entry.language);
    }
    return names;
}

}  // namespace atlasync::ui
