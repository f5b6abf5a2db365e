#include "service/devices/path_helpers.h"

namespace MapsService {

namespace {

bool is_separator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

}  // namespace

std::wstring join_path(const std::wstring& a, const std::wstring& b) {
    std::wstring joined = a;
    if (!joined.empty() && !is_separator(joined.back())) {
        joined.push_back(L'\\');
    }
    if (!b.empty() && is_separator(b.front())) {
        joined.append(b, 1);
    } else {
        joined += b;
    }
    return joined;
}

std::wstring directory_part(const std::wstring& path) {
    const std::size_t last = path.find_last_of(L"\\/");
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last);
}

std::wstring file_part(const std::wstring& path) {
    const std::size_t last = path.find_last_of(L"\\/");
    return last == std::wstring::npos ? path : path.substr(last + 1);
}

std::wstring with_trailing_backslash(const std::wstring& path) {
    if (!path.empty() && path.back() == L'\\') {
        return path;
    }
    return path + L'\\';
}

}  // namespace MapsService
