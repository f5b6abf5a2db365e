#include "service/core/ini_file.h"

#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <iterator>

#include "service/core/text.h"
#include "service/core/trace.h"

namespace MapsService {

IniFile::IniFile(std::string fileName) : m_fileName(std::move(fileName)) {}

bool IniFile::load() {
    ScopedLock lock(m_mutex);
    if (!m_loadPending) {
        return m_loaded;
    }
    m_loadPending = false;
    std::ifstream file(m_fileName, std::ios::binary);
    if (!file) {
        return false;
    }
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        return false;
    }
    m_loaded = true;
    parse(content);
    return true;
}

bool IniFile::is_loaded() const {
    return m_loaded;
}

void IniFile::parse(const std::string& content) {
    std::string line;
    auto take_line = [this](const std::string& text) {
        const auto equals = text.find('=');
        if (equals == std::string::npos) {
            return;
        }
        const std::string key = ascii_lower(text.substr(0, equals));
        std::string value = text.substr(equals + 1);
        if (!value.empty() && value.front() == '"') {
            value.erase(0, 1);
            value = value.substr(0, value.find('"'));
        } else {
            value = value.substr(0, value.find(' '));
        }
        m_entries[to_wide(key)] = to_wide(value);
    };
    for (char c : content) {
        if (c == '\r') {
            continue;
        }
        if (c == '\n') {
            take_line(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) {
        take_line(line);
    }
}

const std::wstring* IniFile::find(const std::wstring& key) {
    if (!load()) {
        return nullptr;
    }
    std::wstring lower = key;
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    const auto found = m_entries.find(lower);
    return found == m_entries.end() ? nullptr : &found->second;
}

std::int32_t IniFile::get_int(const std::wstring& key, std::int32_t defaultValue) {
    const std::wstring* value = find(key);
    if (value == nullptr) {
        return defaultValue;
    }
    return std::atoi(to_narrow(*value).c_str());
}

std::wstring IniFile::get_string(const std::wstring& key, const std::wstring& defaultValue) {
    const std::wstring* value = find(key);
    return value == nullptr ? defaultValue : *value;
}

void IniFile::dump() {
    if (!load()) {
        return;
    }
    TraceDebug("content of INI-File %s:", m_fileName.c_str());
    for (const auto& [key, value] : m_entries) {
        TraceDebug(L"  %s = %s", key.c_str(), value.c_str());
    }
}

}  // namespace MapsService
