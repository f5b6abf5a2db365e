// The device manager (DMAPI) of the simulator: phones are the farm's folders.

#include <mutex>

#include "devlinx/devlinx_api.h"
#include "devlinx/sim/device_watcher.h"
#include "devlinx/sim/farm.h"
#include "devlinx/sim/records.h"

struct DLNK_DM {
    int reserved = 0;
};

namespace devlinx::sim {
namespace {

std::mutex g_moduleMutex;
int g_initCount = 0;
DeviceWatcher g_watcher;
HandleRegistry<DLNK_DM> g_managers;

bool ready(DLNKDMHANDLE dm) {
    {
        std::lock_guard lock(g_moduleMutex);
        if (g_initCount == 0) {
            return false;
        }
    }
    return g_managers.contains(dm);
}

void fill_device(const PhoneConfig& phone, DLNK_DEVICE& device) {
    device.serial_number = copy_text(phone.serial);
    device.name = copy_text(phone.name);
    device.model = copy_text(phone.model);
    device.extra = phone.extra.empty() ? nullptr : copy_text(phone.extra);
}

}  // namespace
}  // namespace devlinx::sim

using namespace devlinx::sim;

extern "C" {

DLNKRESULT DMAPI_Initialize(uint32_t version, void* /*reserved*/) {
    return guarded([&] {
        if (version == 0 || version > DLNK_DMAPI_VERSION) {
            return DLNK_E_NOT_SUPPORTED;
        }
        std::lock_guard lock(g_moduleMutex);
        if (g_initCount == 0 && !g_watcher.start(farm_folder())) {
            return DLNK_E_ACCESS_DENIED;
        }
        ++g_initCount;
        return DLNK_OK;
    });
}

DLNKRESULT DMAPI_Terminate(void* /*reserved*/) {
    return guarded([&] {
        {
            std::lock_guard lock(g_moduleMutex);
            if (g_initCount == 0) {
                return DLNK_E_NOT_INITIALIZED;
            }
            if (--g_initCount != 0) {
                return DLNK_OK;
            }
        }
        // Outside the lock: a notification in progress may still call in.
        g_watcher.stop();
        return DLNK_OK;
    });
}

DLNKRESULT DLNKOpenDM(DLNKDMHANDLE* dm) {
    return guarded([&] {
        if (dm == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        std::lock_guard lock(g_moduleMutex);
        if (g_initCount == 0) {
            return DLNK_E_NOT_INITIALIZED;
        }
        *dm = g_managers.add(new DLNK_DM);
        return DLNK_OK;
    });
}

DLNKRESULT DLNKCloseDM(DLNKDMHANDLE dm) {
    return guarded([&] {
        if (!g_managers.remove(dm)) {
            return DLNK_E_INVALID_HANDLE;
        }
        delete dm;
        return DLNK_OK;
    });
}

DLNKRESULT DLNKRegisterDMNotifyIF(DLNKDMHANDLE dm, uint32_t option, IDMAPIDeviceNotify* notify) {
    return guarded([&] {
        if (!ready(dm)) {
            return DLNK_E_INVALID_HANDLE;
        }
        if (notify == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        if (option == DLNK_DM_REGISTER) {
            g_watcher.add_listener(notify);
        } else if (option == DLNK_DM_UNREGISTER) {
            g_watcher.remove_listener(notify);
        } else {
            return DLNK_E_INVALID_PARAMETER;
        }
        return DLNK_OK;
    });
}

DLNKRESULT DLNKGetDeviceCount(DLNKDMHANDLE dm, uint32_t* count) {
    return guarded([&] {
        if (!ready(dm)) {
            return DLNK_E_INVALID_HANDLE;
        }
        if (count == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        *count = static_cast<uint32_t>(connected_phones(farm_folder()).size());
        return DLNK_OK;
    });
}

DLNKRESULT DLNKGetDevices(DLNKDMHANDLE dm, DLNK_DEVICE* devices, uint32_t* count) {
    return guarded([&] {
        if (!ready(dm)) {
            return DLNK_E_INVALID_HANDLE;
        }
        if (count == nullptr || (devices == nullptr && *count != 0)) {
            return DLNK_E_INVALID_PARAMETER;
        }
        const std::vector<PhoneConfig> phones = connected_phones(farm_folder());
        uint32_t filled = 0;
        for (; filled < *count; ++filled) {
            devices[filled] = DLNK_DEVICE{};
        }
        filled = 0;
        for (const PhoneConfig& phone : phones) {
            if (filled == *count) {
                break;
            }
            fill_device(phone, devices[filled++]);
        }
        *count = filled;
        return DLNK_OK;
    });
}

DLNKRESULT DLNKGetDevice(DLNKDMHANDLE dm, const wchar_t* serial_number, DLNK_DEVICE* device) {
    return guarded([&] {
        if (!ready(dm)) {
            return DLNK_E_INVALID_HANDLE;
        }
        if (serial_number == nullptr || device == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        const auto phone = find_phone(serial_number);
        if (!phone) {
            return DLNK_E_DEVICE_NOT_CONNECTED;
        }
        *device = DLNK_DEVICE{};
        fill_device(*phone, *device);
        return DLNK_OK;
    });
}

DLNKRESULT DLNKFreeDeviceStructure(uint32_t count, DLNK_DEVICE* devices) {
    if (devices == nullptr) {
        return count == 0 ? DLNK_OK : DLNK_E_INVALID_PARAMETER;
    }
    for (uint32_t i = 0; i < count; ++i) {
        free_text(devices[i].serial_number);
        free_text(devices[i].name);
        free_text(devices[i].model);
        free_text(devices[i].extra);
        devices[i] = DLNK_DEVICE{};
    }
    return DLNK_OK;
}

}  // extern "C"
