#include "service/zip/entry_name.h"

#include "service/core/text.h"

namespace MapsService {

namespace {

bool is_separator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

}  // namespace

std::wstring EntryName::relative_path() const {
    std::wstring path;
    for (const std::wstring& component : components) {
        if (!path.empty()) {
            path.push_back(L'\\');
        }
        path += component;
    }
    return path;
}

std::string EntryName::native_path_under(const std::string& nativeFolder) const {
    std::string path = nativeFolder;
    for (const std::wstring& component : components) {
        if (path.empty() || path.back() != '/') {
            path.push_back('/');
        }
        path += to_narrow(component);
    }
    return path;
}

std::optional<EntryName> parse_entry_name(std::string_view stored) {
    if (stored.empty() || stored.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::wstring name = to_wide(stored);
    if (is_separator(name.front()) || name.find(L':') != std::wstring::npos) {
        return std::nullopt;
    }
    EntryName parsed;
    parsed.isDirectory = is_separator(name.back());
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !is_separator(name[end])) {
            ++end;
        }
        std::wstring component = name.substr(start, end - start);
        if (component == L"..") {
            return std::nullopt;
        }
        if (!component.empty() && component != L".") {
            parsed.components.push_back(std::move(component));
        }
        start = end + 1;
    }
    if (parsed.components.empty() && !parsed.isDirectory) {
        return std::nullopt;
    }
    return parsed;
}

}  // namespace MapsService
