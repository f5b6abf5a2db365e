#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace atlasync::mapserver {

std::string_view trim(std::string_view text);
// Splits at runs of blanks into at most `limit` words; the last word keeps the rest of the text.
std::vector<std::string_view> split_words(std::string_view text, std::size_t limit);
std::string to_lower(std::string_view text);
bool iequals(std::string_view a, std::string_view b);

}  // namespace atlasync::mapserver
