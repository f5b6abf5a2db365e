#pragma once

#include <QStringList>
#include <cstdint>
#include <vector>

namespace atlasync::ui {

// The entries of a language list, in the order of the ids: each language by
// its own name ("Deutsch", "Français"), with its territory's own name in
// parentheses only when another entry has the same name ("English (United
// Kingdom)"); the id in hexadecimal for a language no locale of the system
// knows. CUILanguageManager::kNoLanguage stands for the built-in US English.
QStringList language_display_names(const std::vector<std::uint32_t>& languageIds);

}  // namespace atlasync::ui
