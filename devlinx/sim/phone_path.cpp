#include "devlinx/sim/phone_path.h"

#include <sys/stat.h>

#include <cwctype>
#include <vector>

#include "utf8/utf8.h"

namespace devlinx::sim {

using atlasync::utf8::to_narrow;

namespace {

std::vector<std::wstring> split(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (wchar_t c : path) {
        if (c == L'\\' || c == L'/') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

bool is_plain_part(const std::wstring& part) {
    return !part.empty() && part != L"." && part != L".." &&
           part.find_first_of(L"\\/") == std::wstring::npos;
}

bool same_memory_name(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && a.size() == 2 && a[1] == L':' && b[1] == L':' &&
           std::towupper(static_cast<wint_t>(a[0])) == std::towupper(static_cast<wint_t>(b[0]));
}

bool is_link(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

}  // namespace

DLNKRESULT resolve_path(const PhoneConfig& phone, const wchar_t* path, PhonePath& out) {
    if (path == nullptr) {
        return DLNK_E_INVALID_PARAMETER;
    }
    const std::vector<std::wstring> parts = split(path);
    out = PhonePath{};
    if (parts.empty()) {
        out.is_phone_root = true;
        out.display = L"\\";
        return DLNK_OK;
    }
    for (const MemoryConfig& memory : phone_memories(phone)) {
        if (same_memory_name(parts[0], memory.name)) {
            out.memory = memory;
            break;
        }
    }
    if (!out.memory) {
        return DLNK_E_FOLDER_NOT_FOUND;
    }
    out.native = out.memory->folder;
    out.display = L"\\\\" + out.memory->name;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (!is_plain_part(parts[i])) {
            return DLNK_E_INVALID_NAME;
        }
        if (i == 1 && to_narrow(parts[i]) == kMemoryIni) {
            return DLNK_E_ACCESS_DENIED;
        }
        out.native /= to_narrow(parts[i]);
        out.display += L"\\" + parts[i];
        if (is_link(out.native)) {
            return DLNK_E_ACCESS_DENIED;
        }
    }
    return DLNK_OK;
}

DLNKRESULT resolve_child(const PhoneConfig& phone, const wchar_t* folder, const wchar_t* name,
                         PhonePath& out) {
    if (folder == nullptr || name == nullptr) {
        return DLNK_E_INVALID_PARAMETER;
    }
    if (!is_plain_part(name)) {
        return DLNK_E_INVALID_NAME;
    }
    const std::wstring joined = std::wstring(folder) + L"\\" + name;
    const DLNKRESULT status = resolve_path(phone, joined.c_str(), out);
    if (status == DLNK_OK && (!out.memory || out.is_memory_root())) {
        // A memory itself is never created, deleted or replaced.
        return DLNK_E_ACCESS_DENIED;
    }
    return status;
}

fs::path local_path(const wchar_t* path) {
    return fs::path(to_narrow(path));
}

}  // namespace devlinx::sim
