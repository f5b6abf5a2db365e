#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "devlinx/devlinx_api.h"
#include "service/devices/connectivity_config.h"
#include "service/devices/connectivity_watcher.h"

namespace MapsService {

// Default library files per module, found by the dynamic loader.
inline const std::array<std::string, kConnectivityModuleCount> kDefaultConnectivityFiles = {
    "libDevlinxAPI.so", "libDevlinxAPI.so", "libDVLX_ABAPI.so"};

// Loads the connectivity library's modules at run time and forwards each call
// to the loaded library, looking the entry up by name every time so that a
// library released and loaded again by the watcher is always the one called.
class ConnectivityLoader {
public:
    explicit ConnectivityLoader(
        std::array<std::string, kConnectivityModuleCount> defaultFiles = kDefaultConnectivityFiles,
        ConnectivityRequestNames requestNames = {});
    ~ConnectivityLoader();
    ConnectivityLoader(const ConnectivityLoader&) = delete;
    ConnectivityLoader& operator=(const ConnectivityLoader&) = delete;

    // First use loads the library and calls its initialise entry with the
    // version; later uses only count. 0x80100100 without a library, 0x80100101
    // without the entry, else the entry's status.
    [[nodiscard]] DLNKRESULT initialize(ConnectivityModule module, std::uint32_t version);
    // The last use calls the terminate entry and unloads; 0x80100004 when unused.
    [[nodiscard]] DLNKRESULT terminate(ConnectivityModule module);

    // Calls the library's entry `name` of type Fn: 0x80100004 without a loaded
    // library, 0x80100101 when the entry is missing, else the call's status.
    template <typename Fn, typename... Args>
    DLNKRESULT call(ConnectivityModule module, const char* name, Args... args) {
        DLNKRESULT status = DLNK_OK;
        void* entry = begin_call(module, name, status);
        if (entry == nullptr) {
            return status;
        }
        const CallInFlight inFlight(*this, module);
        return reinterpret_cast<Fn*>(entry)(args...);
    }

    bool is_loaded(ConnectivityModule module) const;
    int reference_count(ConnectivityModule module) const;
    bool has_watcher(ConnectivityModule module) const;

private:
    struct Slot {
        void* library = nullptr;  // dlopen handle, owned
        int calls = 0;            // calls into the library under way
        int references = 0;
        std::uint32_t version = 0;  // of the first initialisation, for reloading
        std::unique_ptr<ConnectivityWatcher> watcher;
    };

    // Ends a call begun by begin_call, on every way out of it.
    class CallInFlight {
    public:
        CallInFlight(ConnectivityLoader& loader, ConnectivityModule module)
            : m_loader(loader), m_module(module) {}
        ~CallInFlight() { m_loader.end_call(m_module); }
        CallInFlight(const CallInFlight&) = delete;
        CallInFlight& operator=(const CallInFlight&) = delete;

    private:
        ConnectivityLoader& m_loader;
        ConnectivityModule m_module;
    };

    // The entry, counted as a call under way; null (status set) without one.
    void* begin_call(ConnectivityModule module, const char* name, DLNKRESULT& status);
    void end_call(ConnectivityModule module);
    void* find_entry(ConnectivityModule module, const char* name, DLNKRESULT& status) const;
    // Loads and initialises a library; on success the caller installs it.
    DLNKRESULT load(ConnectivityModule module, std::uint32_t version, void*& library,
                    std::uint32_t& options);
    // Detaches the slot's library (no call reaches it afterwards) and terminates it.
    void unload(ConnectivityModule module);
    bool handle_request(ConnectivityModule module, ConnectivityRequest request);

    std::array<std::string, kConnectivityModuleCount> m_defaultFiles;
    ConnectivityRequestNames m_requestNames;
    // Start, stop, release and reload run one at a time; entry points are
    // called under this lock but never under m_callMutex, because a library
    // stopping its threads waits for notifications that call back in.
    mutable std::recursive_mutex m_lifecycleMutex;
    // Guards the slots' libraries and call counts. Held to look an entry up or
    // to change a slot, never during a call: the library calls back on its own
    // threads while holding its locks, and the callback may call the library
    // again (an installation's notification passes the user's cancel on).
    // A library is unloaded only once its calls under way have returned.
    mutable std::mutex m_callMutex;
    std::condition_variable m_callEnded;
    std::array<Slot, kConnectivityModuleCount> m_slots;
};

// The process-wide loader the service uses.
ConnectivityLoader& connectivity_loader();

}  // namespace MapsService
