#include "service/content/content_text.h"

#include <cwctype>

#include "service/core/text.h"

#include "service/devices/path_helpers.h"

namespace MapsService {

std::wstring to_lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

namespace {

// Splits at "\n", dropping every "\r"; a last line without "\n" counts when
// it is not empty. Each line's bytes go through decode.
template <typename Decode>
std::vector<std::wstring> split_lines(const std::vector<std::uint8_t>& bytes, Decode decode) {
    std::vector<std::wstring> lines;
    std::string current;
    for (std::uint8_t byte : bytes) {
        if (byte == '\r') {
            continue;
        }
        if (byte == '\n') {
            lines.push_back(decode(current));
            current.clear();
        } else {
            current += static_cast<char>(byte);
        }
    }
    if (!current.empty()) {
        lines.push_back(decode(current));
    }
    return lines;
}

constexpr wchar_t kEscapedByte = 0xDC00;  // + the byte, for bytes beyond 0x7F

// The length of the well-formed UTF-8 sequence at the start of text with its
// code point, or 0 when it is not one (overlong forms and surrogates included).
std::size_t utf8_sequence(std::string_view text, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0x80             ? 1
                               : (lead & 0xE0) == 0xC0 ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    cp = lead & kLeadMask[length];
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    const bool valid = cp >= kMinimum[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    return valid ? length : 0;
}

}  // namespace

std::vector<std::wstring> text_lines(const std::vector<std::uint8_t>& bytes) {
    return split_lines(bytes, [](const std::string& line) {
        std::wstring wide;
        for (char c : line) {
            wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
        return wide;
    });
}

std::wstring decode_drive_text(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t cp = 0;
        std::size_t length = utf8_sequence(bytes, cp);
        if (length == 0) {
            cp = kEscapedByte + static_cast<unsigned char>(bytes[0]);
            length = 1;
        }
        text += static_cast<wchar_t>(cp);
        bytes.remove_prefix(length);
    }
    return text;
}

std::string encode_drive_text(std::wstring_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<char32_t>(text[i]);
        if (c >= kEscapedByte + 0x80 && c <= kEscapedByte + 0xFF) {
            bytes += static_cast<char>(c - kEscapedByte);
        } else {
            bytes += to_narrow(text.substr(i, 1));
        }
    }
    return bytes;
}

std::vector<std::wstring> drive_text_lines(const std::vector<std::uint8_t>& bytes) {
    return split_lines(bytes, decode_drive_text);
}

std::vector<std::wstring> split_dots(const std::wstring& text) {
    std::vector<std::wstring> parts;
    std::wstring current;
    for (wchar_t c : text) {
        if (c != L'.') {
            current += c;
        } else if (!current.empty()) {
            parts.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty()) {
        parts.push_back(std::move(current));
    }
    return parts;
}

std::wstring trim_blanks(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}

std::wstring base_name(const std::wstring& path) {
    std::wstring name = file_part(path);
    const auto dot = name.rfind(L'.');
    if (dot != std::wstring::npos) {
        name.erase(dot);
    }
    return name;
}

std::wstring lower_extension(const std::wstring& path) {
    const std::wstring name = file_part(path);
    const auto dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : to_lower(name.substr(dot + 1));
}

}  // namespace MapsService
