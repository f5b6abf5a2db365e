#pragma once

#include <QString>
#include <cstdint>

namespace atlasync::ui {

// A language list entry: the language's own name, then its English name in
// parentheses ("Deutsch (German)"); the id in hexadecimal for an id no locale
// of the system knows.
QString language_display_name(std::uint32_t languageId);

}  // namespace atlasync::ui
