#pragma once

#include <optional>
#include <string>

#include "devlinx/sim/farm.h"

namespace devlinx::sim {

// A phone path ("\\E:\cities\qf") mapped into the farm. Callers' names never
// leave the memory folder: "." and ".." parts are refused, as are symbolic
// links met on the way and the memory's own memory.ini.
struct PhonePath {
    bool is_phone_root = false;  // "\\": the list of the phone's memories
    std::optional<MemoryConfig> memory;
    fs::path native;       // the memory folder or a path below it
    std::wstring display;  // the library's own spelling, "\\E:\cities"
    bool is_memory_root() const { return memory.has_value() && native == memory->folder; }
};

DLNKRESULT resolve_path(const PhoneConfig& phone, const wchar_t* path, PhonePath& out);
// folder joined with name, where name must be one plain part.
DLNKRESULT resolve_child(const PhoneConfig& phone, const wchar_t* folder, const wchar_t* name,
                         PhonePath& out);
// The path of a local file of this computer (a copy's source), unconfined.
fs::path local_path(const wchar_t* path);

}  // namespace devlinx::sim
