#include "service/devices/connectivity_loader.h"

#include <dlfcn.h>

#include <utility>

#include "service/core/text.h"
#include "service/core/trace.h"

namespace MapsService {

namespace {

std::size_t index_of(ConnectivityModule module) {
    return static_cast<std::size_t>(module);
}

std::string entry_name(ConnectivityModule module, const char* suffix) {
    return std::string(module_name(module)) + suffix;
}

using InitializeEntry = decltype(::DMAPI_Initialize);
using TerminateEntry = decltype(::DMAPI_Terminate);

}  // namespace

ConnectivityLoader::ConnectivityLoader(
    std::array<std::string, kConnectivityModuleCount> defaultFiles,
    ConnectivityRequestNames requestNames)
    : m_defaultFiles(std::move(defaultFiles)), m_requestNames(std::move(requestNames)) {}

ConnectivityLoader::~ConnectivityLoader() {
    for (std::size_t i = 0; i < kConnectivityModuleCount; ++i) {
        std::unique_ptr<ConnectivityWatcher> watcher;
        {
            std::lock_guard lock(m_lifecycleMutex);
            watcher = std::move(m_slots[i].watcher);
        }
        watcher.reset();
        std::lock_guard lock(m_lifecycleMutex);
        unload(static_cast<ConnectivityModule>(i));
        m_slots[i].references = 0;
    }
}

void* ConnectivityLoader::begin_call(ConnectivityModule module, const char* name,
                                     DLNKRESULT& status) {
    std::lock_guard lock(m_callMutex);
    void* entry = find_entry(module, name, status);
    if (entry != nullptr) {
        ++m_slots[index_of(module)].calls;
    }
    return entry;
}

void ConnectivityLoader::end_call(ConnectivityModule module) {
    {
        std::lock_guard lock(m_callMutex);
        --m_slots[index_of(module)].calls;
    }
    m_callEnded.notify_all();
}

void* ConnectivityLoader::find_entry(ConnectivityModule module, const char* name,
                                     DLNKRESULT& status) const {
    void* library = m_slots[index_of(module)].library;
    if (library == nullptr) {
        status = DLNK_E_NOT_INITIALIZED;
        return nullptr;
    }
    void* entry = ::dlsym(library, name);
    if (entry == nullptr) {
        status = DLNK_E_ENTRY_NOT_FOUND;
    }
    return entry;
}

DLNKRESULT ConnectivityLoader::load(ConnectivityModule module, std::uint32_t version,
                                    void*& library, std::uint32_t& options) {
    const ConnectivityConfig config = read_connectivity_config();
    options = config.options;
    const std::string& configured = config.library_files[index_of(module)];
    library = nullptr;
    if (!configured.empty()) {
        library = ::dlopen(configured.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            TraceWarning(L"connectivity module %s: %s", to_wide(module_name(module)).c_str(),
                         to_wide(::dlerror()).c_str());
        }
    }
    if (library == nullptr) {
        library = ::dlopen(m_defaultFiles[index_of(module)].c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (library == nullptr) {
        return DLNK_E_LIBRARY_NOT_FOUND;
    }
    const std::string initializeName = entry_name(module, "_Initialize");
    void* entry = ::dlsym(library, initializeName.c_str());
    if (entry == nullptr) {
        ::dlclose(library);
        library = nullptr;
        return DLNK_E_ENTRY_NOT_FOUND;
    }
    const DLNKRESULT status = reinterpret_cast<InitializeEntry*>(entry)(version, nullptr);
    if (status < 0) {
        ::dlclose(library);
        library = nullptr;
    }
    return status;
}

void ConnectivityLoader::unload(ConnectivityModule module) {
    void* library = nullptr;
    {
        std::unique_lock lock(m_callMutex);
        Slot& slot = m_slots[index_of(module)];
        library = std::exchange(slot.library, nullptr);
        // No call reaches the library any more; those under way end first.
        m_callEnded.wait(lock, [&slot] { return slot.calls == 0; });
    }
    if (library == nullptr) {
        return;
    }
    const std::string terminateName = entry_name(module, "_Terminate");
    if (void* entry = ::dlsym(library, terminateName.c_str())) {
        reinterpret_cast<TerminateEntry*>(entry)(nullptr);
    }
    ::dlclose(library);
}

DLNKRESULT ConnectivityLoader::initialize(ConnectivityModule module, std::uint32_t version) {
    std::unique_ptr<ConnectivityWatcher> oldWatcher;
    {
        std::lock_guard lifecycle(m_lifecycleMutex);
        Slot& slot = m_slots[index_of(module)];
        if (slot.library != nullptr) {
            ++slot.references;
            return DLNK_OK;
        }
        void* library = nullptr;
        std::uint32_t options = 0;
        const DLNKRESULT status = load(module, version, library, options);
        if (library == nullptr) {
            return status;
        }
        {
            std::unique_lock lock(m_callMutex);
            slot.library = library;
        }
        // Counted only once the module works, so a failed start needs no stop.
        ++slot.references;
        slot.version = version;
        oldWatcher = std::move(slot.watcher);
        if ((options & kOptionNoWatcher) == 0) {
            slot.watcher = std::make_unique<ConnectivityWatcher>(
                m_requestNames, [this, module](ConnectivityRequest request) {
                    return handle_request(module, request);
                });
        }
    }
    return DLNK_OK;  // oldWatcher stops here, outside the lock its thread may wait for
}

DLNKRESULT ConnectivityLoader::terminate(ConnectivityModule module) {
    std::unique_ptr<ConnectivityWatcher> watcher;
    {
        std::lock_guard lifecycle(m_lifecycleMutex);
        Slot& slot = m_slots[index_of(module)];
        if (slot.references == 0) {
            return DLNK_E_NOT_INITIALIZED;
        }
        if (--slot.references > 0) {
            return DLNK_OK;
        }
        unload(module);
        watcher = std::move(slot.watcher);
    }
    return DLNK_OK;
}

bool ConnectivityLoader::handle_request(ConnectivityModule module, ConnectivityRequest request) {
    std::lock_guard lifecycle(m_lifecycleMutex);
    Slot& slot = m_slots[index_of(module)];
    if (request == ConnectivityRequest::Release) {
        if (slot.library != nullptr) {
            TraceInfo("connectivity module %s released on request", module_name(module));
            unload(module);
        }
        for (const Slot& other : m_slots) {
            if (other.library != nullptr) {
                return false;  // another module's watcher still has to see the request
            }
        }
        return true;
    }
    if (slot.library == nullptr && slot.references > 0) {
        void* library = nullptr;
        std::uint32_t options = 0;
        const DLNKRESULT status = load(module, slot.version, library, options);
        TraceInfo("connectivity module %s reloaded on request: 0x%X", module_name(module),
                  static_cast<unsigned>(status));
        if (library == nullptr) {
            return true;  // no retry loop; a new request tries again
        }
        std::unique_lock lock(m_callMutex);
        slot.library = library;
    }
    for (const Slot& other : m_slots) {
        if (other.library == nullptr && other.references > 0) {
            return false;
        }
    }
    return true;
}

bool ConnectivityLoader::is_loaded(ConnectivityModule module) const {
    std::lock_guard lock(m_callMutex);
    return m_slots[index_of(module)].library != nullptr;
}

int ConnectivityLoader::reference_count(ConnectivityModule module) const {
    std::lock_guard lifecycle(m_lifecycleMutex);
    return m_slots[index_of(module)].references;
}

bool ConnectivityLoader::has_watcher(ConnectivityModule module) const {
    std::lock_guard lifecycle(m_lifecycleMutex);
    return m_slots[index_of(module)].watcher != nullptr;
}

ConnectivityLoader& connectivity_loader() {
    static ConnectivityLoader loader;
    return loader;
}

}  // namespace MapsService
