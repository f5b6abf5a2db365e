// Installation and the application list (FSAPI) of the simulator.

#include <algorithm>
#include <chrono>
#include <fstream>
#include <system_error>
#include <thread>
#include <vector>

#include "devlinx/sim/file_session.h"
#include "devlinx/sim/phone_path.h"
#include "utf8/utf8.h"

namespace devlinx::sim {

using atlasync::utf8::to_narrow;
using atlasync::utf8::to_wide;

namespace {

// Where the phone keeps an installer while it installs it, and the marker a
// finished installation leaves on the phone memory.
constexpr const char* kInstallFolder = "private/installer";
constexpr const char* kMarkerFile = "data/mapsinstalled";
constexpr std::uint32_t kProgressSteps = 10;

class Notifier {
public:
    explicit Notifier(DLNKFSHANDLE fs) : m_fs(fs) {}

    DEVLINX_CALLS_NOTIFICATIONS void state(std::uint32_t state, std::uint32_t transferred,
                                           std::uint32_t all) {
        std::lock_guard lock(m_fs->notify_mutex);
        if (m_fs->notify != nullptr) {
            m_fs->notify->OnFSOperationState(DLNK_FUNCTION_INSTALL, state, transferred, all);
        }
    }
    DEVLINX_CALLS_NOTIFICATIONS void message(const std::wstring& text) {
        std::lock_guard lock(m_fs->notify_mutex);
        if (m_fs->notify != nullptr) {
            m_fs->notify->OnFSMessage(0, text.c_str());
        }
    }

private:
    DLNKFSHANDLE m_fs;
};

std::vector<std::wstring> installed_applications(const PhoneConfig& phone) {
    std::vector<std::wstring> names = phone.applications;
    std::ifstream in(phone.folder / kInstalledList);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            names.push_back(to_wide(line));
        }
    }
    return names;
}

void record_installed(const PhoneConfig& phone, const std::wstring& name) {
    const std::vector<std::wstring> names = installed_applications(phone);
    if (std::find(names.begin(), names.end(), name) == names.end()) {
        std::ofstream(phone.folder / kInstalledList, std::ios::app) << to_narrow(name) << '\n';
    }
}

// The transfer and the phone's answer; runs on the library's install thread.
DLNKRESULT install(DLNKFSHANDLE fs, const PhoneConfig& phone, const fs::path& installer) {
    const auto memories = phone_memories(phone);
    const auto memory = std::find_if(memories.begin(), memories.end(),
                                     [](const MemoryConfig& m) { return m.name == L"C:"; });
    if (memory == memories.end()) {
        return DLNK_E_NOT_SUPPORTED;
    }
    std::error_code error;
    const auto size = static_cast<std::int64_t>(fs::file_size(installer, error));
    if (error || size > 0xFFFFFFFFll) {
        return DLNK_E_INSTALLER_NOT_SUPPORTED;
    }
    if (!has_room(*memory, size, 0)) {
        return DLNK_E_NOT_ENOUGH_SPACE;
    }
    const fs::path folder = memory->folder / kInstallFolder;
    fs::create_directories(folder, error);
    const fs::path target = folder / installer.filename();
    std::ifstream in(installer, std::ios::binary);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!in || !out) {
        return DLNK_E_ACCESS_DENIED;
    }
    Notifier notifier(fs);
    notifier.message(L"Installing " + to_wide(installer.filename().string()));
    const auto all = static_cast<std::uint32_t>(size);
    const std::uint32_t chunk = std::max<std::uint32_t>(all / kProgressSteps, 1);
    std::vector<char> buffer(chunk);
    std::uint32_t transferred = 0;
    DLNKRESULT status = DLNK_OK;
    while (status == DLNK_OK && transferred < all) {
        const std::uint32_t step = std::min(chunk, all - transferred);
        in.read(buffer.data(), step);
        out.write(buffer.data(), step);
        if (!in || !out) {
            status = DLNK_E_ACCESS_DENIED;
            break;
        }
        transferred += step;
        std::this_thread::sleep_for(std::chrono::milliseconds(phone.install_step_ms));
        notifier.state(static_cast<std::uint32_t>(std::uint64_t{transferred} * 100 / all),
                       transferred, all);
        if (fs->cancelled) {
            status = DLNK_E_CANCELLED;
        }
    }
    out.close();
    for (std::int32_t asked = 0; status == DLNK_OK && asked < phone.install_user_action; ++asked) {
        notifier.state(DLNK_STATE_USER_ACTION, transferred, all);
        std::this_thread::sleep_for(std::chrono::milliseconds(phone.install_step_ms));
        if (fs->cancelled) {
            status = DLNK_E_CANCELLED;
        }
    }
    fs::remove(target, error);  // the phone keeps the application, not its installer
    if (status != DLNK_OK) {
        return status;
    }
    if (phone.install_status == DLNK_OK) {
        record_installed(phone, to_wide(installer.stem().string()));
        if (phone.install_writes_marker) {
            fs::create_directories((memory->folder / kMarkerFile).parent_path(), error);
            std::ofstream(memory->folder / kMarkerFile, std::ios::binary) << "installed";
        }
    }
    return phone.install_status;
}

}  // namespace
}  // namespace devlinx::sim

using namespace devlinx::sim;

extern "C" {

DLNKRESULT DLNKRegisterFSNotifyIF(DLNKFSHANDLE fs, uint32_t option, IFSAPINotify* notify) {
    return phone_call(fs, "DLNKRegisterFSNotifyIF", [&](const PhoneConfig&) {
        std::lock_guard lock(fs->notify_mutex);
        if (option == DLNK_FS_REGISTER && notify != nullptr) {
            fs->notify = notify;
        } else if (option == DLNK_FS_UNREGISTER) {
            fs->notify = nullptr;
        } else {
            return DLNK_E_INVALID_PARAMETER;
        }
        return DLNK_OK;
    });
}

DLNKRESULT DLNKInstallApplication(DLNKFSHANDLE fs, uint32_t /*option*/,
                                  const DLNK_INSTALLER_DESC* installer, uint32_t /*flags*/,
                                  uint32_t /*reserved1*/, uint32_t /*reserved2*/) {
    return phone_call(fs, "DLNKInstallApplication", [&](const PhoneConfig& phone) {
        if (installer == nullptr ||
            std::find(std::begin(installer->path), std::end(installer->path), L'\0') ==
                std::end(installer->path)) {
            return DLNK_E_INVALID_PARAMETER;
        }
        const fs::path source = local_path(installer->path);
        if (!fs::is_regular_file(source)) {
            return DLNK_E_FILE_NOT_FOUND;
        }
        fs->cancelled = false;
        // The transfer runs on a thread of the library, as a phone's would;
        // the caller waits for the phone's answer.
        DLNKRESULT answer = DLNK_OK;
        std::thread worker([&] { answer = guarded([&] { return install(fs, phone, source); }); });
        worker.join();
        return answer;
    });
}

DLNKRESULT DLNKCancel(DLNKFSHANDLE fs) {
    if (!file_system_handles().contains(fs)) {
        return DLNK_E_INVALID_HANDLE;
    }
    fs->cancelled = true;
    return DLNK_OK;
}

DLNKRESULT DLNKListApplications(DLNKFSHANDLE fs, uint32_t option, uint32_t* count,
                                DLNK_APPLICATION_INFO** applications) {
    return phone_call(fs, "DLNKListApplications", [&](const PhoneConfig& phone) {
        if (option != DLNK_LIST_INSTALLED || count == nullptr || applications == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        if ((phone.features & DLNK_FEATURE_APPLICATION_LIST) == 0) {
            return DLNK_E_NOT_SUPPORTED;
        }
        const std::vector<std::wstring> names = installed_applications(phone);
        auto* list = new DLNK_APPLICATION_INFO[names.size() + 1]{};
        for (std::size_t i = 0; i < names.size(); ++i) {
            list[i].name = copy_text(names[i]);
        }
        *count = static_cast<uint32_t>(names.size());
        *applications = list;
        return DLNK_OK;
    });
}

DLNKRESULT DLNKFreeApplicationInfoStructures(uint32_t count, DLNK_APPLICATION_INFO* applications) {
    if (applications != nullptr) {
        for (uint32_t i = 0; i < count; ++i) {
            free_text(applications[i].name);
            free_text(applications[i].version);
        }
        delete[] applications;
    }
    return DLNK_OK;
}

}  // extern "C"
