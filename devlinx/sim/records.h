#pragma once

#include <cstdint>
#include <mutex>
#include <new>
#include <set>
#include <string>

namespace devlinx::sim {

// Texts handed to callers, released by the matching DLNKFree... call.
wchar_t* copy_text(const std::wstring& text);
void free_text(wchar_t* text);

// On functions that call a caller's notification object: the object may be
// written in C (a table of slots without C++ type information), which the
// undefined-behaviour sanitizer's dynamic type check cannot follow.
#define DEVLINX_CALLS_NOTIFICATIONS __attribute__((no_sanitize("vptr")))

// Runs the body of an exported call: no exception crosses into the caller.
template <typename Body>
int32_t guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return static_cast<int32_t>(0x80100003u);  // DLNK_E_OUT_OF_MEMORY
    } catch (...) {
        return static_cast<int32_t>(0x80500006u);  // DLNK_E_ACCESS_DENIED
    }
}

// Live handles of one kind, so a stale or foreign handle is refused instead
// of being followed.
template <typename T>
class HandleRegistry {
public:
    T* add(T* handle) {
        std::lock_guard lock(m_mutex);
        m_live.insert(handle);
        return handle;
    }
    bool contains(const T* handle) const {
        std::lock_guard lock(m_mutex);
        return m_live.count(const_cast<T*>(handle)) != 0;
    }
    // True when the handle was live; the caller then deletes it.
    bool remove(T* handle) {
        std::lock_guard lock(m_mutex);
        return m_live.erase(handle) != 0;
    }

private:
    mutable std::mutex m_mutex;
    std::set<T*> m_live;
};

}  // namespace devlinx::sim
