#pragma once

#include <string>
#include <string_view>

namespace MapsService {

// Narrow strings are UTF-8, wide strings hold one code point per wchar_t.
// Invalid UTF-8 bytes become U+FFFD rather than cutting the text short.
std::string to_narrow(std::wstring_view wide);
std::wstring to_wide(std::string_view narrow);

// Whether two names or paths are one on a memory card: FAT, exFAT and NTFS
// with Windows names compare them without case, so "a.txt" is "A.TXT" there.
bool same_on_a_card(std::string_view a, std::string_view b);

// Sets the C locale from the environment, falling back to C.UTF-8, so that the
// C library's multibyte functions handle UTF-8 text. Called once at start.
void set_locale_from_environment();

}  // namespace MapsService
