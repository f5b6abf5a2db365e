#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace MapsService {

std::wstring to_lower(std::wstring text);

// 8-bit text, one byte per character: lines end with "\n", every "\r" is
// dropped, and a last line without "\n" counts when it is not empty.
std::vector<std::wstring> text_lines(const std::vector<std::uint8_t>& bytes);

// Text of a settings file on a drive, read so that writing it back gives the
// same bytes: well-formed UTF-8 becomes code points (folder names then match
// the drive's own), any other byte b is held as U+DC00 + b.
std::wstring decode_drive_text(std::string_view bytes);
std::string encode_drive_text(std::wstring_view text);
// text_lines with every line decoded as drive text.
std::vector<std::wstring> drive_text_lines(const std::vector<std::uint8_t>& bytes);

// Splits at ".", a run of dots counting as one separator.
std::vector<std::wstring> split_dots(const std::wstring& text);

// Without leading and trailing blanks and tabs.
std::wstring trim_blanks(const std::wstring& text);

// The file name of a path (after the last "\" or "/"), cut before its last ".".
std::wstring base_name(const std::wstring& path);

// The text after the last "." of the path's file name, lower-cased; empty without one.
std::wstring lower_extension(const std::wstring& path);

}  // namespace MapsService
