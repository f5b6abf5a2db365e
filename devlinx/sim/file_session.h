#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "devlinx/devlinx_api.h"
#include "devlinx/sim/farm.h"
#include "devlinx/sim/records.h"

// One DLNKOpenFS handle: the phone it names and the state of its long operations.
struct DLNK_FS {
    std::wstring serial;
    std::uint32_t media = 0;
    std::uint32_t device_id = 0;
    std::atomic<bool> cancelled{false};
    std::recursive_mutex notify_mutex;  // a notification may unregister itself
    IFSAPINotify* notify = nullptr;     // not owned; guarded by notify_mutex
};

namespace devlinx::sim {

HandleRegistry<DLNK_FS>& file_system_handles();

// The checks every file call starts with: the module is initialised, the
// handle is live, its phone is still connected, and no fault is configured
// for the call. On success the phone's current configuration is in `phone`.
DLNKRESULT begin_call(DLNKFSHANDLE fs, const char* call, PhoneConfig& phone);

// Runs an exported call on a phone: begin_call, then the body with the
// phone's configuration; no exception leaves.
template <typename Body>
DLNKRESULT phone_call(DLNKFSHANDLE fs, const char* call, Body&& body) {
    return guarded([&] {
        PhoneConfig phone;
        const DLNKRESULT status = begin_call(fs, call, phone);
        return status != DLNK_OK ? status : body(static_cast<const PhoneConfig&>(phone));
    });
}

// Whether `adding` more bytes fit on the memory once `replacing` bytes are gone.
bool has_room(const MemoryConfig& memory, std::int64_t adding, std::int64_t replacing);

}  // namespace devlinx::sim
