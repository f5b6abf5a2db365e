#pragma once

#include <string>
#include <string_view>

#include "utf8/utf8.h"

namespace MapsService {

// The conversions are the leaf library's, which the phone simulator shares.
using atlasync::utf8::set_locale_from_environment;
using atlasync::utf8::to_narrow;
using atlasync::utf8::to_wide;

// Whether two names or paths are one on a memory card: FAT, exFAT and NTFS
// with Windows names compare them without case, so "a.txt" is "A.TXT" there.
bool same_on_a_card(std::string_view a, std::string_view b);

// ASCII letters in lower case, other bytes as they are: for keys, schemes,
// host names and media types, which compare without case.
std::string ascii_lower(std::string text);

}  // namespace MapsService
