#include "service/content/content_text.h"

#include <cwctype>

#include "service/devices/path_helpers.h"

namespace MapsService {

std::wstring to_lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

std::vector<std::wstring> text_lines(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::wstring> lines;
    std::wstring current;
    for (std::uint8_t byte : bytes) {
        if (byte == '\r') {
            continue;
        }
        if (byte == '\n') {
            lines.push_back(std::move(current));
            current.clear();
        } else {
            current += static_cast<wchar_t>(byte);
        }
    }
    if (!current.empty()) {
        lines.push_back(std::move(current));
    }
    return lines;
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
