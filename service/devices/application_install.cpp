// Installing applications on a phone through the connectivity library, and
// listing the installed ones.

#include <algorithm>
#include <exception>

#include "service/core/message_queue.h"
#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/connectivity_calls.h"
#include "service/devices/install_notifier.h"
#include "service/devices/linkdeck_file_system.h"
#include "service/devices/path_helpers.h"
#include "service/devices/phone_handle.h"

namespace MapsService {

namespace {

constexpr const wchar_t* kMarkerFile = L"data\\mapsinstalled";
constexpr const char kMarkerContent[] = ";-)";
constexpr std::int32_t kGenerationReportingInstallation = 320;

enum InstallPhase : std::int32_t {
    kPhaseStarted = 0,
    kPhaseFinished = 1,
    kPhaseTransferStarting = 2,
    kPhaseAnswered = 3,
};

struct StatusCode {
    DLNKRESULT status;
    Result code;
};

constexpr StatusCode kStatusCodes[] = {
    {DLNK_I_CONNECTION_INTERRUPTED, kResultInstallInterrupted},
    {DLNK_E_CONNECTION_LOST, kResultInstallConnectionLost},
    {DLNK_E_NOT_ENOUGH_SPACE, kResultInstallNoSpace},
    {DLNK_E_ACCESS_DENIED, kResultInstallAccessDenied},
    {DLNK_E_FILE_IN_USE, kResultInstallFileInUse},
    {DLNK_E_FILE_LOCKED, kResultInstallFileLocked},
    {DLNK_E_CONNECTION_BROKEN, kResultInstallConnectionBroken},
    {DLNK_E_NOT_SUPPORTED, kResultInstallNotSupported},
    {DLNK_E_INSTALL_BUSY, kResultInstallBusy},
    {DLNK_E_INSTALL_ABORTED, kResultInstallAborted},
    {DLNK_E_INSTALL_CORRUPT, kResultInstallCorrupt},
    {DLNK_E_INSTALL_DEPENDENCY, kResultInstallDependency},
    {DLNK_E_INSTALL_SECURITY, kResultInstallSecurity},
    {DLNK_E_INSTALLER_NOT_SUPPORTED, kResultInstallerNotSupported},
    {DLNK_E_DEVICE_NOT_CONNECTED, kResultDriveOffline},
};

// Registered for the life of the installation call, unregistered on every way out.
class NotifierRegistration {
public:
    NotifierRegistration(DLNKFSHANDLE fs, InstallNotifier& notifier) : m_fs(fs) {
        m_registered = Devlinx::DLNKRegisterFSNotifyIF(fs, DLNK_FS_REGISTER, &notifier) == DLNK_OK;
    }
    ~NotifierRegistration() {
        if (m_registered) {
            (void)Devlinx::DLNKRegisterFSNotifyIF(m_fs, DLNK_FS_UNREGISTER, nullptr);
        }
    }
    NotifierRegistration(const NotifierRegistration&) = delete;
    NotifierRegistration& operator=(const NotifierRegistration&) = delete;
    bool registered() const { return m_registered; }

private:
    DLNKFSHANDLE m_fs;
    bool m_registered = false;
};

}  // namespace

Result installation_result_for_status(DLNKRESULT status, bool userCancelled) {
    if (status == DLNK_OK) {
        return kResultOk;
    }
    if (status == DLNK_E_CANCELLED) {
        return userCancelled ? kResultCancelled : kResultInstallCancelledByPhone;
    }
    for (const StatusCode& entry : kStatusCodes) {
        if (entry.status == status) {
            return entry.code;
        }
    }
    return kResultFailed;
}

Result LinkdeckFileSystem::hand_over_installer(DLNKFSHANDLE fs, const std::wstring& installerPath,
                                               std::uint64_t size, const std::wstring& marker,
                                               IniFile& settings) {
    DLNK_INSTALLER_DESC description{};
    const std::size_t length = std::min<std::size_t>(installerPath.size(), 255);
    std::copy_n(installerPath.begin(), length, description.path);

    InstallNotifier notifier(fs);
    const NotifierRegistration registration(fs, notifier);
    if (!registration.registered()) {
        TraceError("DLNKRegisterFSNotifyIF( ) failed");
        return kResultFailed;
    }
    OnInstallProgress(kPhaseStarted, kResultOk, size, 0, 0.0);
    OnInstallProgress(kPhaseTransferStarting, kResultOk, size, 0, 0.0);
    if (file_exists(marker)) {
        (void)delete_file(marker);
    }
    const DLNKRESULT status = Devlinx::DLNKInstallApplication(
        fs, DLNK_INSTALL_FROM_PC, &description, DLNK_INSTALL_DEFAULT_FLAGS, 0, 0);
    TraceInfo("DLNKInstallApplication() returned with 0x%X", static_cast<unsigned>(status));
    const Result code = installation_result_for_status(status, service_cancel_flag().is_set());
    if (status == DLNK_OK && settings.get_int(L"mapsinstalled", 0) != 0) {
        Result written = create_directory(directory_part(marker));
        if (written == kResultOk) {
            written = write_file(marker, kMarkerContent, sizeof kMarkerContent - 1, 0, true);
        }
        if (written != kResultOk) {
            TraceWarning(L"marker file %s not written (%d)", marker.c_str(), written);
        }
    }
    OnInstallProgress(kPhaseAnswered, code, 0, 0, 0.0);
    OnInstallProgress(kPhaseFinished, code, 0, 0, 0.0);
    return code;
}

Result LinkdeckFileSystem::install_on_phone(std::int32_t deviceGeneration,
                                            const std::wstring& installerPath, std::uint64_t size,
                                            IniFile& settings) {
    ScopeTrace scope("MapsService::LinkdeckFileSystem::install_application");
    const std::wstring marker = join_path(get_root_directory().path(), kMarkerFile);
    Result result = kResultFailed;
    try {
        const PhoneHandle handle = open_handle();
        if (!handle.is_open()) {
            TraceError(
                "MapsService::LinkdeckFileSystem::install_application: unable to get file "
                "system handle");
            return kResultPhoneFileSystem;
        }
        result = hand_over_installer(handle.get(), installerPath, size, marker, settings);
    } catch (const std::exception& e) {
        TraceError("exception in LinkdeckFileSystem::install_application: %s", e.what());
        return kResultFailed;
    }
    if (result != kResultOk || deviceGeneration >= kGenerationReportingInstallation) {
        return result;
    }
    // Older phones answer before the installation has finished; the maps
    // application leaves the marker once it has.
    const bool finished = file_exists(marker);
    if (finished) {
        (void)delete_file(marker);
    }
    if (service_cancel_flag().is_set()) {
        return kResultCancelled;
    }
    return finished ? kResultOk : kResultInstallUnconfirmed;
}

std::unique_ptr<LinkdeckFileSystem> LinkdeckFileSystem::get_file_system(
    const std::wstring& serialNumber, const std::wstring& driveName) {
    try {
        std::uint32_t media = DLNK_MEDIA_ANY;
        std::uint32_t deviceId = 0;
        DLNKFSHANDLE raw = nullptr;
        if (Devlinx::DLNKOpenFS(serialNumber.c_str(), &media, &deviceId, &raw) != DLNK_OK) {
            TraceError(L"error opening filesystem for drive %s at phone %s", driveName.c_str(),
                       serialNumber.c_str());
            return nullptr;
        }
        bool found = false;
        {
            const std::unique_ptr<DLNK_FS, decltype(&Devlinx::DLNKCloseFS)> fs(
                raw, Devlinx::DLNKCloseFS);
            DLNKFINDHANDLE find = nullptr;
            if (Devlinx::DLNKFindBegin(raw, DLNK_FIND_FOLDERS, L"\\\\", &find) == DLNK_OK) {
                const FindSearch search(find);
                for (;;) {
                    DLNK_FOLDER_INFO* info = nullptr;
                    if (Devlinx::DLNKFindNextFolder(find, &info) != DLNK_OK) {
                        break;
                    }
                    const FolderInfoRecord record(info);
                    if (record->name != nullptr && driveName == record->name) {
                        found = true;
                        break;
                    }
                }
            }
        }
        if (!found) {
            return nullptr;
        }
        try {
            return std::make_unique<LinkdeckFileSystem>(serialNumber, media, deviceId,
                                                        L"\\\\" + driveName);
        } catch (const FileSystemConstructionException&) {
            TraceError(L"error opening filesystem for drive %s at phone %s", driveName.c_str(),
                       serialNumber.c_str());
        }
    } catch (const std::exception&) {
        TraceError(L"exception in get_file_system(%s)", driveName.c_str());
    }
    return nullptr;
}

Result LinkdeckFileSystem::get_installed_applications(std::vector<std::wstring>& names) {
    ScopeTrace scope("MapsService::LinkdeckFileSystem::get_installed_applications");
    try {
        const PhoneHandle handle = open_handle();
        if (!handle.is_open()) {
            return kResultPhoneFileSystem;
        }
        std::uint32_t count = 0;
        DLNK_APPLICATION_INFO* applications = nullptr;
        const DLNKRESULT status =
            Devlinx::DLNKListApplications(handle.get(), DLNK_LIST_INSTALLED, &count, &applications);
        if (status != DLNK_OK) {
            TraceError("DLNKListApplications( ) returned with error code 0x%X",
                       static_cast<unsigned>(status));
            return status;
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::wstring name = applications[i].name != nullptr ? applications[i].name : L"";
            TraceInfo(L"installed application: %s", name.c_str());
            names.push_back(name);
        }
        (void)Devlinx::DLNKFreeApplicationInfoStructures(count, applications);
        return kResultOk;
    } catch (const std::exception&) {
        TraceError("exception in LinkdeckFileSystem::get_installed_applications");
    }
    return kResultFailed;
}

}  // namespace MapsService
