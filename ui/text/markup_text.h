#pragma once

#include <string>
#include <string_view>

namespace atlasync::ui {

// The wizard's label mark-up as terminal text: line-break tags become line
// ends, bold becomes the terminal's bold when `ansi` is set and plain text
// otherwise, font tags and any other tag are dropped, and the few character
// entities the texts may carry are resolved. The result is UTF-8.
std::string markup_to_terminal(std::wstring_view markup, bool ansi);

inline constexpr const char* kAnsiBoldOn = "\x1b[1m";
inline constexpr const char* kAnsiBoldOff = "\x1b[22m";

}  // namespace atlasync::ui
