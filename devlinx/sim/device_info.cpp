// Device information (DIAPI) of the simulator, read from each phone.ini.

#include <mutex>

#include "devlinx/devlinx_api.h"
#include "devlinx/sim/farm.h"
#include "devlinx/sim/records.h"

namespace devlinx::sim {
namespace {

std::mutex g_moduleMutex;
int g_initCount = 0;

bool initialised() {
    std::lock_guard lock(g_moduleMutex);
    return g_initCount > 0;
}

}  // namespace
}  // namespace devlinx::sim

using namespace devlinx::sim;

extern "C" {

DLNKRESULT DIAPI_Initialize(uint32_t version, void* /*reserved*/) {
    if (version == 0 || version > DLNK_DIAPI_VERSION) {
        return DLNK_E_NOT_SUPPORTED;
    }
    std::lock_guard lock(g_moduleMutex);
    ++g_initCount;
    return DLNK_OK;
}

DLNKRESULT DIAPI_Terminate(void* /*reserved*/) {
    std::lock_guard lock(g_moduleMutex);
    if (g_initCount == 0) {
        return DLNK_E_NOT_INITIALIZED;
    }
    --g_initCount;
    return DLNK_OK;
}

// The device-manager handle belongs to the other library; it is only required.
DLNKRESULT DLNKGetDeviceInfo(DLNKDMHANDLE dm, const wchar_t* serial_number, uint32_t kind,
                             DLNK_DEVICE_INFO** info) {
    return guarded([&] {
        if (!initialised()) {
            return DLNK_E_NOT_INITIALIZED;
        }
        if (dm == nullptr) {
            return DLNK_E_INVALID_HANDLE;
        }
        if (serial_number == nullptr || info == nullptr) {
            return DLNK_E_INVALID_PARAMETER;
        }
        const auto phone = find_phone(serial_number);
        if (!phone) {
            return DLNK_E_DEVICE_NOT_CONNECTED;
        }
        if (const auto fault = phone->fault("DLNKGetDeviceInfo")) {
            return *fault;
        }
        DLNK_DEVICE_INFO record{};
        record.kind = kind;
        switch (kind) {
            case DLNK_INFO_KIND_IMSI:
                if (phone->imsi.empty()) {
                    return DLNK_E_NOT_SUPPORTED;
                }
                record.imsi = copy_text(phone->imsi);
                break;
            case DLNK_INFO_KIND_GENERAL:
                record.type_code = phone->type_code;
                record.model = copy_text(phone->model);
                record.features = phone->features;
                break;
            case DLNK_INFO_KIND_GENERATION:
                if (phone->generation == 0) {
                    return DLNK_E_NOT_SUPPORTED;
                }
                record.generation = phone->generation;
                break;
            default:
                return DLNK_E_INVALID_PARAMETER;
        }
        *info = new DLNK_DEVICE_INFO(record);
        return DLNK_OK;
    });
}

DLNKRESULT DLNKFreeDeviceInfoStructure(DLNK_DEVICE_INFO* info) {
    if (info != nullptr) {
        free_text(info->imsi);
        free_text(info->model);
        delete info;
    }
    return DLNK_OK;
}

}  // extern "C"
