#include "devlinx/sim/device_watcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <system_error>

#include "devlinx/sim/records.h"

namespace devlinx::sim {

namespace {

constexpr std::uint32_t kFarmEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ONLYDIR;
// A phone counts once its phone.ini is complete.
constexpr std::uint32_t kPhoneEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM;
// Lets a burst of file operations (a folder copied in) settle into one scan.
constexpr int kSettleMilliseconds = 20;

void drain(int fd) {
    char buffer[4096];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
}

}  // namespace

DeviceWatcher::~DeviceWatcher() {
    stop();
}

bool DeviceWatcher::start(const fs::path& farm) {
    stop();
    m_farm = farm;
    std::error_code error;
    fs::create_directories(m_farm, error);
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_stopEvent = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_inotify < 0 || m_stopEvent < 0 ||
        ::inotify_add_watch(m_inotify, m_farm.c_str(), kFarmEvents) < 0) {
        stop();
        return false;
    }
    m_known = scan();
    watch_phone_folders();
    m_thread = std::thread([this] { run(); });
    return true;
}

void DeviceWatcher::stop() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stopEvent, &one, sizeof one);
        if (m_thread.get_id() == std::this_thread::get_id()) {
            m_thread.detach();  // stopped from a listener: the loop ends after it returns
        } else {
            m_thread.join();
        }
    }
    {
        // Registrations end with the module; a later start begins without any.
        std::lock_guard lock(m_listenersMutex);
        m_listeners.clear();
    }
    if (m_inotify >= 0) {
        ::close(m_inotify);
        m_inotify = -1;
    }
    if (m_stopEvent >= 0) {
        ::close(m_stopEvent);
        m_stopEvent = -1;
    }
}

void DeviceWatcher::add_listener(IDMAPIDeviceNotify* listener) {
    std::lock_guard lock(m_listenersMutex);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
        m_listeners.push_back(listener);
    }
}

void DeviceWatcher::remove_listener(IDMAPIDeviceNotify* listener) {
    std::lock_guard dispatch(m_dispatchMutex);
    std::lock_guard lock(m_listenersMutex);
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener),
                      m_listeners.end());
}

DeviceWatcher::PhoneMap DeviceWatcher::scan() {
    PhoneMap phones;
    for (const PhoneConfig& phone : connected_phones(m_farm)) {
        phones[phone.folder] = KnownPhone{phone.serial, phone.media};
    }
    return phones;
}

void DeviceWatcher::watch_phone_folders() {
    // Folders without a phone.ini yet are watched too, so its arrival is seen.
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(m_farm, error)) {
        if (entry.is_directory(error) && !entry.is_symlink(error)) {
            ::inotify_add_watch(m_inotify, entry.path().c_str(), kPhoneEvents | IN_ONLYDIR);
        }
    }
}

void DeviceWatcher::run() {
    const int inotify = m_inotify;
    const int stopEvent = m_stopEvent;
    for (;;) {
        pollfd fds[2] = {{stopEvent, POLLIN, 0}, {inotify, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        // A stop request, or descriptors closed under a watcher stopped from a listener.
        if ((fds[0].revents & POLLIN) != 0 || ((fds[0].revents | fds[1].revents) & POLLNVAL) != 0) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMilliseconds));
            drain(inotify);
            announce_changes();
        }
    }
}

DEVLINX_CALLS_NOTIFICATIONS void DeviceWatcher::announce_changes() {
    const PhoneMap now = scan();
    watch_phone_folders();
    std::vector<std::pair<bool, KnownPhone>> changes;  // true: added
    for (const auto& [folder, phone] : m_known) {
        const auto found = now.find(folder);
        if (found == now.end() || found->second.serial != phone.serial) {
            changes.emplace_back(false, phone);
        }
    }
    for (const auto& [folder, phone] : now) {
        const auto found = m_known.find(folder);
        if (found == m_known.end() || found->second.serial != phone.serial) {
            changes.emplace_back(true, phone);
        }
    }
    m_known = now;
    if (changes.empty()) {
        return;
    }
    std::lock_guard dispatch(m_dispatchMutex);
    std::vector<IDMAPIDeviceNotify*> listeners;
    {
        std::lock_guard lock(m_listenersMutex);
        listeners = m_listeners;
    }
    for (const auto& [added, phone] : changes) {
        const std::uint32_t status =
            added ? DLNK_DEVICE_STATUS(DLNK_CHANGE_ADDED, DLNK_INFO_CONNECTED, phone.media)
                  : DLNK_DEVICE_STATUS(DLNK_CHANGE_REMOVED, DLNK_INFO_DISCONNECTED, phone.media);
        for (IDMAPIDeviceNotify* listener : listeners) {
            if (added) {
                listener->OnDeviceAdded(phone.serial.c_str(), status);
            } else {
                listener->OnDeviceRemoved(phone.serial.c_str(), status);
            }
        }
    }
    for (IDMAPIDeviceNotify* listener : listeners) {
        listener->OnDeviceListUpdated();
    }
}

}  // namespace devlinx::sim
