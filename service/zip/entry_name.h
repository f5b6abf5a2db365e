#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace MapsService {

// An entry's stored name, checked so that extracting it can never reach
// outside the target folder.
struct EntryName {
    std::vector<std::wstring> components;  // path components, none empty, "." or ".."
    bool isDirectory = false;              // the stored name ends in a separator

    // Components joined with backslashes: the form drive paths take.
    std::wstring relative_path() const;
    // Components joined with "/" under the given native folder.
    std::string native_path_under(const std::string& nativeFolder) const;
};

// Reads a stored name as UTF-8 (bytes that are not become U+FFFD). Both "/" and "\" separate
// components, as archives made on Windows use either. Answers nothing for a name
// that is absolute, carries a drive designation or stream name (any ':'),
// climbs with "..", holds a NUL, or names no file at all.
std::optional<EntryName> parse_entry_name(std::string_view stored);

}  // namespace MapsService
