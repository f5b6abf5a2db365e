#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
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
        std::shared_lock lock(m_callMutex);  // the library stays loaded during the call
        DLNKRESULT status = DLNK_OK;
        void* entry = find_entry(module, name, status);
        if (entry == nullptr) {
            return status;
        }
        return reinterpret_cast<Fn*>(entry)(args...);
    }

    bool is_loaded(ConnectivityModule module) const;
    int reference_count(ConnectivityModule module) const;
    bool has_watcher(ConnectivityModule module) const;

private:
    struct Slot {
        void* library = nullptr;  // dlopen handle, owned
        int references = 0;
        std::uint32_t version = 0;  // of the first initialisation, for reloading
        std::unique_ptr<ConnectivityWatcher> watcher;
    };

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
    mutable std::shared_mutex m_callMutex;  // exclusive only to change a library slot
    std::array<Slot, kConnectivityModuleCount> m_slots;
};

// The process-wide loader the service uses.
ConnectivityLoader& connectivity_loader();

}  // namespace MapsService
