#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "service/core/sync.h"

namespace MapsService {

// The service's read-only key/value settings. Keys are case-insensitive; an
// unquoted value ends at its first blank, a quoted one at the closing quote.
// The file is read once, on the first load(); later calls answer that outcome.
class IniFile : private NonCopyable {
public:
    explicit IniFile(std::string fileName);

    bool load();
    bool is_loaded() const;
    std::int32_t get_int(const std::wstring& key, std::int32_t defaultValue);
    std::wstring get_string(const std::wstring& key, const std::wstring& defaultValue);
    void dump();

    const std::string& file_name() const { return m_fileName; }

private:
    void parse(const std::string& content);
    const std::wstring* find(const std::wstring& key);

    std::string m_fileName;
    std::map<std::wstring, std::wstring> m_entries;
    bool m_loadPending = true;
    bool m_loaded = false;
    // load() runs from whichever thread traces first.
    Mutex m_mutex;
};

// "msapi.ini" in the working directory.
IniFile& service_settings();

}  // namespace MapsService
