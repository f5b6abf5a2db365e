#include "service/phones/dmapi_device_notify.h"

#include <vector>

#include "service/core/trace.h"
#include "service/devices/connectivity_calls.h"
#include "service/devices/linkdeck_file_system.h"
#include "service/phones/device_side.h"
#include "service/phones/phone_manager.h"

namespace MapsService {

DMAPIDeviceNotify::~DMAPIDeviceNotify() {
    stop();
}

DLNKRESULT DMAPIDeviceNotify::OnDeviceListUpdated() {
    TraceDebug("DMAPIDeviceNotify::OnDeviceListUpdated( ) called");
    return DLNK_OK;
}

DLNKRESULT DMAPIDeviceNotify::OnDeviceAdded(const wchar_t* serialNumber, uint32_t status) {
    queue(Kind::Added, serialNumber, status);
    return DLNK_OK;
}

DLNKRESULT DMAPIDeviceNotify::OnDeviceRemoved(const wchar_t* serialNumber, uint32_t status) {
    queue(Kind::Removed, serialNumber, status);
    return DLNK_OK;
}

DLNKRESULT DMAPIDeviceNotify::OnDeviceUpdated(const wchar_t* serialNumber, uint32_t status) {
    queue(Kind::Updated, serialNumber, status);
    return DLNK_OK;
}

void DMAPIDeviceNotify::queue(Kind kind, const wchar_t* serialNumber, std::uint32_t status) {
    // Copied: the library's text is only valid during its call.
    Notification notification{kind, serialNumber == nullptr ? std::wstring() : serialNumber,
                              status};
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_thread.joinable()) {
        m_stopping = false;
        m_thread = std::thread(&DMAPIDeviceNotify::handler_thread, this);
    }
    m_queue.push_back(std::move(notification));
    m_changed.notify_all();
}

void DMAPIDeviceNotify::flush() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void DMAPIDeviceNotify::stop() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        thread = std::move(m_thread);
    }
    m_changed.notify_all();
    if (thread.joinable()) {
        thread.join();
    }
}

void DMAPIDeviceNotify::handler_thread() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
        if (m_queue.empty()) {
            return;
        }
        const Notification notification = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        handle(notification);
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

void DMAPIDeviceNotify::handle(const Notification& notification) {
    // Nothing may escape into the handling thread: it would end the process.
    try {
        switch (notification.kind) {
            case Kind::Added:
                device_added(notification.serialNumber, notification.status);
                break;
            case Kind::Removed:
                device_removed(notification.serialNumber, notification.status);
                break;
            case Kind::Updated:
                device_updated(notification.serialNumber, notification.status);
                break;
        }
    } catch (...) {
        TraceError("exception in DMAPIDeviceNotify while handling a device notification");
    }
}

void DMAPIDeviceNotify::device_added(const std::wstring& serialNumber, std::uint32_t status) {
    if (serialNumber.empty()) {
        return;
    }
    TraceInfo(L"DMAPIDeviceNotify::OnDeviceAdded SN=%s status=0x%X", serialNumber.c_str(), status);
    DLNK_DEVICE record{};
    if (Devlinx::DLNKGetDevice(LinkdeckFileSystem::device_manager(), serialNumber.c_str(),
                               &record) != DLNK_OK) {
        return;
    }
    try {
        add_device(record, DeviceStatus::of(status).media);
    } catch (...) {
        TraceError("exception in DMAPIDeviceNotify::OnDeviceAdded( )");
    }
    Devlinx::DLNKFreeDeviceStructure(1, &record);
}

void DMAPIDeviceNotify::device_removed(const std::wstring& serialNumber, std::uint32_t status) {
    if (serialNumber.empty()) {
        return;
    }
    TraceInfo(L"DMAPIDeviceNotify::OnDeviceRemoved SN=%s status=0x%X", serialNumber.c_str(),
              status);
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
}

void DMAPIDeviceNotify::device_updated(const std::wstring& serialNumber, std::uint32_t status) {
    const DeviceStatus fields = DeviceStatus::of(status);
    TraceInfo(L"DMAPIDeviceNotify::OnDeviceUpdated: SN:%s status:0x%X info:0x%X media:0x%X",
              serialNumber.c_str(), fields.change, fields.info, fields.media);
    const bool added = fields.change == DLNK_CHANGE_ADDED ||
                       (fields.change == DLNK_CHANGE_UPDATED && fields.info == DLNK_INFO_CONNECTED);
    const bool removed =
        fields.change == DLNK_CHANGE_REMOVED ||
        (fields.change == DLNK_CHANGE_UPDATED && fields.info == DLNK_INFO_DISCONNECTED);
    if (added) {
        device_added(serialNumber, status);
    } else if (removed) {
        device_removed(serialNumber, status);
    }
}

DMAPIDeviceNotify& device_notify() {
    static DMAPIDeviceNotify instance;
    return instance;
}

}  // namespace MapsService
