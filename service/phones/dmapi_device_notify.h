#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "devlinx/devlinx_api.h"

namespace MapsService {

// The fields of a device notification's status word.
struct DeviceStatus {
    std::uint32_t change;  // bits 0-15: DLNK_CHANGE_...
    std::uint32_t info;    // bits 16-23: DLNK_INFO_...
    std::uint32_t media;   // bits 24-31: the link the phone uses, DLNK_MEDIA_...

    static DeviceStatus of(std::uint32_t status) {
        return {status & 0xFFFFu, (status >> 16) & 0xFFu, (status >> 24) & 0xFFu};
    }
};

// Phones plugged in and out, as the connectivity library reports them on its
// own threads. One process-wide instance, registered while the connectivity
// side runs.
//
// The library's thread only queues a notification; a thread of ours handles
// them in order. Handling calls back into the library, and the library holds
// its own lock while it notifies, the same lock that unregistering waits for:
// handling on its thread would tie that lock to ours the other way round.
class DMAPIDeviceNotify final : public IDMAPIDeviceNotify {
public:
    DMAPIDeviceNotify() = default;
    ~DMAPIDeviceNotify();
    DMAPIDeviceNotify(const DMAPIDeviceNotify&) = delete;
    DMAPIDeviceNotify& operator=(const DMAPIDeviceNotify&) = delete;

    DLNKRESULT OnDeviceListUpdated() override;
    DLNKRESULT OnDeviceAdded(const wchar_t* serialNumber, uint32_t status) override;
    DLNKRESULT OnDeviceRemoved(const wchar_t* serialNumber, uint32_t status) override;
    DLNKRESULT OnDeviceUpdated(const wchar_t* serialNumber, uint32_t status) override;

    // Returns once every notification received so far was handled.
    void flush();
    // Handles what is queued, then ends the handling thread; the next
    // notification starts it again. Call after unregistering.
    void stop();

private:
    enum class Kind { Added, Removed, Updated };
    struct Notification {
        Kind kind;
        std::wstring serialNumber;
        std::uint32_t status;
    };

    void queue(Kind kind, const wchar_t* serialNumber, std::uint32_t status);
    void handler_thread();
    void handle(const Notification& notification);
    void device_added(const std::wstring& serialNumber, std::uint32_t status);
    void device_removed(const std::wstring& serialNumber, std::uint32_t status);
    void device_updated(const std::wstring& serialNumber, std::uint32_t status);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Notification> m_queue;
    bool m_busy = false;  // a notification taken from the queue is being handled
    bool m_stopping = false;
    std::thread m_thread;
};

DMAPIDeviceNotify& device_notify();

}  // namespace MapsService
