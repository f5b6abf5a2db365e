#include "ui/pages/language_names.h"

#include <QLocale>
#include <algorithm>
#include <map>

#include "ui/messaging/ui_language_manager.h"
#include "ui/messaging/windows_locale_ids.h"

namespace atlasync::ui {

namespace {

// Every locale Qt knows, by its numeric language id; the first locale of an id wins.
const std::map<std::uint32_t, QLocale>& locales_by_id() {
    static const std::map<std::uint32_t, QLocale> locales = [] {
        std::map<std::uint32_t, QLocale> byId;
        for (const QLocale& locale : QLocale::matchingLocales(
                 QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            const std::uint32_t id = windows_locale_id(locale.name().toStdString());
            if (id != 0) {
                byId.try_emplace(id, locale);
            }
        }
        return byId;
    }();
    return locales;
}

}  // namespace

QString language_display_name(std::uint32_t languageId) {
    // Without a language module the built-in texts are in use: US English.
    if (languageId == CUILanguageManager::kNoLanguage) {
        languageId = CUILanguageManager::kUsEnglish;
    }
    const auto& locales = locales_by_id();
    auto found = locales.find(languageId);
    if (found == locales.end()) {
        // A regional variant we do not know: its language's first variant names it.
        found = std::find_if(locales.begin(), locales.end(), [languageId](const auto& entry) {
            return primary_language(entry.first) == primary_language(languageId);
        });
    }
    if (found == locales.end()) {
        return QStringLiteral("0x%1").arg(languageId, 4, 16, QLatin1Char('0'));
    }
    const QLocale& locale = found->second;
    QString native = locale.nativeLanguageName();
    if (!native.isEmpty()) {
        native[0] = native[0].toUpper();
    }
    return QStringLiteral("%1 (%2)").arg(native, QLocale::languageToString(locale.language()));
}

}  // namespace atlasync::ui
