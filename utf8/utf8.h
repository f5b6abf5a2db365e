#pragma once

#include <string>
#include <string_view>

// Text conversion for every part of the project, the service and the phone
// simulator alike: a leaf that depends on nothing of theirs.
namespace atlasync::utf8 {

// Narrow strings are UTF-8, wide strings hold one code point per wchar_t.
// Invalid UTF-8 bytes become U+FFFD rather than cutting the text short.
std::string to_narrow(std::wstring_view wide);
std::wstring to_wide(std::string_view narrow);

// Sets the C locale from the environment, falling back to C.UTF-8, so that the
// C library's multibyte functions handle UTF-8 text. Called once at start.
void set_locale_from_environment();

}  // namespace atlasync::utf8
