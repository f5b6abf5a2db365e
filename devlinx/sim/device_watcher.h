#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devlinx/sim/farm.h"

namespace devlinx::sim {

// Watches the farm with inotify and tells the registered device
// notifications, on its own thread, when phone folders come and go.
class DeviceWatcher {
public:
    DeviceWatcher() = default;
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    // Takes the phones present now as known (they are listed, not announced)
    // and starts the thread. False when the farm cannot be watched.
    bool start(const fs::path& farm);
    // Stops the thread and forgets every registered listener.
    void stop();

    void add_listener(IDMAPIDeviceNotify* listener);
    // Waits for a notification in progress on another thread, so the
    // listener is never called after this returns.
    void remove_listener(IDMAPIDeviceNotify* listener);

private:
    struct KnownPhone {
        std::wstring serial;
        std::uint32_t media;
    };
    using PhoneMap = std::map<fs::path, KnownPhone>;

    void run();
    PhoneMap scan();
    void watch_phone_folders();
    void announce_changes();

    fs::path m_farm;
    int m_inotify = -1;
    int m_stopEvent = -1;
    std::thread m_thread;
    PhoneMap m_known;  // touched by the watcher thread only once started

    std::mutex m_listenersMutex;
    std::vector<IDMAPIDeviceNotify*> m_listeners;
    // Held while listeners run; re-entrant so a listener may unregister itself.
    std::recursive_mutex m_dispatchMutex;
};

}  // namespace devlinx::sim
