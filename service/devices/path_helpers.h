#pragma once

#include <string>

namespace MapsService {

// Drive paths are separated by backslashes; every helper also accepts "/".

// a, one backslash, b: a separator is added only when a is not empty and lacks
// one, and a single leading separator of b is dropped.
std::wstring join_path(const std::wstring& a, const std::wstring& b);
// The text before the last separator; empty when there is none.
std::wstring directory_part(const std::wstring& path);
// The text after the last separator; the path itself when there is none.
std::wstring file_part(const std::wstring& path);
// The path with a backslash appended unless its last character is already one.
std::wstring with_trailing_backslash(const std::wstring& path);

}  // namespace MapsService
