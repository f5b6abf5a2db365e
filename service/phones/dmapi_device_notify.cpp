#include "service/phones/dmapi_device_notify.h"

#include <string>
#include <vector>

#include "service/core/trace.h"
#include "service/devices/connectivity_calls.h"
#include "service/devices/linkdeck_file_system.h"
#include "service/phones/device_side.h"
#include "service/phones/phone_manager.h"

namespace MapsService {

namespace {

bool present(const wchar_t* serialNumber) {
    return serialNumber != nullptr && serialNumber[0] != L'\0';
}

}  // namespace

DLNKRESULT DMAPIDeviceNotify::OnDeviceListUpdated() {
    TraceDebug("DMAPIDeviceNotify::OnDeviceListUpdated( ) called");
    return DLNK_OK;
}

DLNKRESULT DMAPIDeviceNotify::OnDeviceAdded(const wchar_t* serialNumber, uint32_t status) {
    if (!present(serialNumber)) {
        return DLNK_OK;
    }
    TraceInfo(L"DMAPIDeviceNotify::OnDeviceAdded SN=%s status=0x%X", serialNumber, status);
    DLNK_DEVICE record{};
    if (Devlinx::DLNKGetDevice(LinkdeckFileSystem::device_manager(), serialNumber, &record) !=
        DLNK_OK) {
        return DLNK_OK;
    }
    try {
        add_device(record, DeviceStatus::of(status).media);
    } catch (...) {
        // The library's thread must not see our failures.
        TraceError("exception in DMAPIDeviceNotify::OnDeviceAdded( )");
    }
    Devlinx::DLNKFreeDeviceStructure(1, &record);
    return DLNK_OK;
}

DLNKRESULT DMAPIDeviceNotify::OnDeviceRemoved(const wchar_t* serialNumber, uint32_t status) {
    if (!present(serialNumber)) {
        return DLNK_OK;
    }
    TraceInfo(L"DMAPIDeviceNotify::OnDeviceRemoved SN=%s status=0x%X", serialNumber, status);
    std::vector<Phone*> phones;
    (void)PhoneManager::GetConnectedPhones(phones);
    for (Phone* phone : phones) {
        if (phone->serial_number() != serialNumber) {
            continue;
        }
        for (PhoneDrive* drive : phone->drives()) {
            PhoneManager::OnDriveLost(drive);
        }
        PhoneManager::RemovePhone(phone);
    }
    return DLNK_OK;
}

DLNKRESULT DMAPIDeviceNotify::OnDeviceUpdated(const wchar_t* serialNumber, uint32_t status) {
    const DeviceStatus fields = DeviceStatus::of(status);
    TraceInfo(L"DMAPIDeviceNotify::OnDeviceUpdated: SN:%s status:0x%X info:0x%X media:0x%X",
              present(serialNumber) ? serialNumber : L"", fields.change, fields.info, fields.media);
    const bool added = fields.change == DLNK_CHANGE_ADDED ||
                       (fields.change == DLNK_CHANGE_UPDATED && fields.info == DLNK_INFO_CONNECTED);
    const bool removed =
        fields.change == DLNK_CHANGE_REMOVED ||
        (fields.change == DLNK_CHANGE_UPDATED && fields.info == DLNK_INFO_DISCONNECTED);
    if (added) {
        return OnDeviceAdded(serialNumber, status);
    }
    if (removed) {
        return OnDeviceRemoved(serialNumber, status);
    }
    return DLNK_OK;
}

DMAPIDeviceNotify& device_notify() {
    static DMAPIDeviceNotify instance;
    return instance;
}

}  // namespace MapsService
