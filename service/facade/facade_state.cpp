// The service's lifecycle and the process-wide state the facade keeps: the
// current drive and the server root.

#include <curl/curl.h>

#include <exception>
#include <mutex>
#include <string>

#include "service/content/phone_drive.h"
#include "service/core/exceptions.h"
#include "service/core/ini_file.h"
#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/facade/facade_internal.h"
#include "service/facade/maps_service.h"
#include "service/phones/phone_manager.h"
#include "service/phones/phone_platform.h"
#include "service/protocol/curl_downloader.h"
#include "service/protocol/server_package.h"
#include "service/protocol/server_url.h"

namespace MapsService {

namespace {

struct FacadeState {
    // Written by the worker's operations; guarded since tools and tests read it
    // from other threads too.
    std::mutex mutex;
    PhoneDrive* currentDrive = nullptr;  // owned by the phone manager
    std::string serverRoot = kDefaultServerRoot;
    std::string caFile;  // empty: the system's trust store
};

FacadeState& state() {
    static FacadeState* instance = new FacadeState();
    return *instance;
}

// Only roots that set_server_root took are kept, so every one has a URL.
std::wstring url_of_root(const std::string& root) {
    std::string why;
    return to_wide(server_url_of_root(root, why).value_or(std::string()));
}

// Transfers use the scheme of the server in use and the trusted certificates.
void secure_transfers(const std::string& root, const std::string& caFile) {
    // The URL's scheme is written in lower case.
    set_transport_security({caFile, url_of_root(root).starts_with(L"https://")});
}

}  // namespace

TransferLibraryUse::TransferLibraryUse() {
    curl_global_init(CURL_GLOBAL_ALL);
}

TransferLibraryUse::~TransferLibraryUse() {
    curl_global_cleanup();
}

PhoneDrive* current_drive() {
    std::lock_guard lock(state().mutex);
    return state().currentDrive;
}

void set_current_drive(PhoneDrive* drive) {
    std::lock_guard lock(state().mutex);
    state().currentDrive = drive;
    // The drive asks the server the caller chose; a later root reaches it too.
    if (drive != nullptr) {
        drive->set_server_url(url_of_root(state().serverRoot));
    }
}

std::string server_root() {
    std::lock_guard lock(state().mutex);
    return state().serverRoot;
}

Result initialize(std::int32_t driveFlags) {
    return run_operation("initialize", [&]() -> Result {
        ScopeTrace scope("MapsService::initialize");
        IniFile& settings = service_settings();
        if (settings.load()) {
            settings.dump();
        }
        PhoneManager::SetDriveFlags(driveFlags);
        const Result result = initialize_phone_platform(get_server_url());
        if (result != kResultOk) {
            TraceError("platform_initialize( ) returned with error 0x%X",
                       static_cast<unsigned>(result));
            return result;
        }
        OnDriveFound(nullptr);
        TraceInfo(L"platform_initialize( ) successful");
        return kResultOk;
    });
}

Result finalize() {
    TraceInfo(L"finalizing MSAPI");
    (void)cancel_operation();
    Result result = kResultOk;
    try {
        // Fetches carried from a wipe to a download that never came end
        // before the network library is released under them.
        for (PhoneDrive* drive : PhoneManager::all_drives()) {
            drive->drop_fetches_ahead();
        }
        // The watchers stop before the phones go: a late notification must not
        // meet a phone that was already released.
        (void)finalize_phone_platform();
        set_current_drive(nullptr);
        PhoneManager::FreeDeviceMap();
        release_mapsapp_catalog();
    } catch (const std::exception& error) {
        TraceError("exception in MapsService::finalize: %s", error.what());
        result = kResultFailed;
    }
    TraceInfo(L"finalize MSAPI finished");
    try {
        close_tracer();
    } catch (...) {
    }
    return result;
}

Result set_server_root(const std::wstring& root) {
    return run_operation("set_server_root", [&]() -> Result {
        std::string why;
        if (!server_url_of_root(to_narrow(root), why)) {
            TraceError("server root refused: %s", why.c_str());
            return kResultFailed;
        }
        TraceInfo(L"setting server root to %s", root.c_str());
        std::lock_guard lock(state().mutex);
        state().serverRoot = to_narrow(root);
        secure_transfers(state().serverRoot, state().caFile);
        if (state().currentDrive != nullptr) {
            state().currentDrive->set_server_url(url_of_root(state().serverRoot));
        }
        return kResultOk;
    });
}

Result set_ca_file(const std::wstring& path) {
    return guarded("set_ca_file", [&]() -> Result {
        TraceInfo(L"trusting the certificates of %s", path.empty() ? L"the system" : path.c_str());
        std::lock_guard lock(state().mutex);
        state().caFile = to_narrow(path);
        secure_transfers(state().serverRoot, state().caFile);
        return kResultOk;
    });
}

std::wstring get_server_url() {
    const std::wstring url = url_of_root(server_root());
    TraceInfo(L"using server url %s", url.c_str());
    return url;
}

Result GetPackage(const std::wstring& server, const std::wstring& package,
                  const std::wstring& language, const std::wstring& version,
                  const std::wstring& operatingSystem, std::vector<ServerRecord>& records) {
    return run_operation("GetPackage", [&]() -> Result {
        TraceInfo(L"GetPackage( ) called: server=%s package=%s", server.c_str(), package.c_str());
        const TransferLibraryUse transfers;
        ServerPackage fetched(server, package, language, version, operatingSystem);
        const Result result = fetched.download();
        fetched.copy_records(records);
        return result;
    });
}

Result cancel_operation() {
    TraceInfo(L"cancel_operation( ) called");
    service_cancel_flag().set();
    return kResultOk;
}

std::wstring last_failure_cause() {
    return to_wide(failure_cause());
}

}  // namespace MapsService
