#include "service/content/mapsapp_installation.h"

#include <unistd.h>

#include <exception>
#include <memory>

#include "service/content/map_settings.h"
#include "service/content/maps_app_package.h"
#include "service/content/maps_update_info.h"
#include "service/content/phone.h"
#include "service/content/phone_drive.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/devices/linkdeck_file_system.h"
#include "service/devices/local_disk.h"
#include "service/protocol/downloader.h"
#include "service/protocol/file_curl_downloader.h"

namespace MapsService {

namespace {

// The phone memory that receives installers.
constexpr const wchar_t* kInstallMemory = L"C:";

// One work folder per process: a second process (a test run beside us)
// must not delete the installer we are handing over.
std::wstring work_folder_name() {
    return L"maps_installer." + std::to_wstring(::getpid());
}

// Removes the work folder on every way out.
class WorkFolder {
public:
    WorkFolder() = default;
    ~WorkFolder() {
        if (m_created && delete_tree(m_path) != kResultOk) {
            TraceWarning(L"work folder %s not removed", m_path.c_str());
        }
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    [[nodiscard]] Result create() {
        const Result result = create_temp_directory(work_folder_name(), m_path);
        m_created = !m_path.empty();
        return result;
    }
    const std::wstring& path() const { return m_path; }

private:
    std::wstring m_path;
    bool m_created = false;
};

Result update_drive_quota(PhoneDrive& drive, const ServerRecord& item) {
    if (drive.map_settings() == nullptr) {
        return kResultOk;
    }
    const Result written = drive.edit_map_settings([&item](MapSettings& settings) {
        return update_quota_after_install(settings.quota_file(), item_attribute(item, L"client_id"),
                                          item_attribute(item, L"client_version"),
                                          item_attribute(item, L"build"));
    });
    if (written != kResultOk) {
        TraceError(L"unable to update qf in %s", drive.name().c_str());
        return kResultFailed;
    }
    return kResultOk;
}

}  // namespace

Result install_maps_application(PhoneDrive& drive, const MapsUpdateInfo& info) {
    ScopeTrace scope("MapsService::LinkdeckFileSystem::install_application");
    if (!drive.file_system().installs_applications()) {
        TraceError(L"drive %s takes no applications", drive.name().c_str());
        return kResultFailed;
    }
    Phone* phone = drive.phone();
    if (phone == nullptr) {
        TraceError(L"unexpected error: phone of phonedrive (%s) not initialized",
                   drive.name().c_str());
        return kResultFailed;
    }
    const Result loaded = maps_app_package().Load(drive.server_url());
    if (loaded != kResultOk) {
        TraceError(L"error on download of package touchfw for phone (%s)", phone->name().c_str());
        return loaded;
    }
    const auto item = maps_app_package().find_item(info.itemId);
    if (!item) {
        TraceError(L"unexpected error: phone of phonedrive (%s) not initialized",
                   drive.name().c_str());
        return kResultNoUpdateInfo;
    }

    WorkFolder work;
    Result result = work.create();
    if (result != kResultOk) {
        return result;
    }
    const std::wstring url = item_attribute(*item, L"file");
    const std::uint64_t size = item_size(*item, L"content_size");
    result = DownloaderFile(url, work.path(), size).download();
    if (result != kResultOk) {
        return result;
    }
    {
        const std::unique_ptr<LinkdeckFileSystem> memory =
            LinkdeckFileSystem::get_file_system(phone->serial_number(), kInstallMemory);
        if (memory == nullptr) {
            return kResultFailed;
        }
        result = memory->install_on_phone(phone->device_generation(),
                                          to_wide(target_file_path(work.path(), url)), size);
    }
    if (result != kResultOk) {
        return result;
    }
    return update_drive_quota(drive, *item);
}

}  // namespace MapsService
