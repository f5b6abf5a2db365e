#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace atlasync::ui {

// Language modules are named after numeric language ids of the Windows kind
// (1033 is US English): the low 10 bits name the language, the next 6 its
// regional variant. Maps a POSIX locale name ("de_DE", "pt_BR.UTF-8",
// "en_GB@euro") to such an id; 0 when the language is not known.
std::uint32_t windows_locale_id(std::string_view localeName);

// The POSIX locale name of a language id: "en_GB" for a regional variant, the
// language alone ("de") for its default variant or one we do not know; empty
// when the language is not known.
std::string posix_locale_name(std::uint32_t languageId);

constexpr std::uint32_t primary_language(std::uint32_t languageId) {
    return languageId & 0x3FF;
}

}  // namespace atlasync::ui
