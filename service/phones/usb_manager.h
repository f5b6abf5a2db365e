#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "service/phones/volume_source.h"

namespace MapsService {

// Turns USB mass-storage volumes into phones with one drive each, as they come
// and go. A watcher thread listens to the volume source and queues arrivals
// and removals; a handler thread takes them one at a time, arrivals first
// except that each volume's own events keep their order, and calls the phone
// manager.
class UsbManager {
public:
    // labelDelay: how long a new volume is given to settle before its name is read.
    explicit UsbManager(std::unique_ptr<VolumeSource> source,
                        std::chrono::milliseconds labelDelay = std::chrono::seconds(1));
    ~UsbManager();
    UsbManager(const UsbManager&) = delete;
    UsbManager& operator=(const UsbManager&) = delete;

    // Starts both threads; returns once every USB volume present at start was
    // handled, at once when there is none. Throws std::system_error when a
    // thread cannot be made.
    bool start_();
    // Stops the watcher, which stops the handler; false when the watcher took
    // longer than five seconds (it is still waited for: the threads use this object).
    bool stop_();
    // Queues the USB volumes present now as arrivals.
    void AddCurrentlyAvailableDevices();

    // A mounted folder handed in by the user: it takes the same way as a
    // volume that just arrived, whatever its bus. Returns once it was handled;
    // false when the watcher does not run (never started, stopped, or ended
    // because the volume source failed).
    bool add_volume(const std::wstring& root);

private:
    struct Arrival {
        std::wstring root;
        bool atStartup = false;                       // counted by the start-up count
        std::shared_ptr<std::promise<void>> handled;  // set for a folder handed in by name
        std::uint64_t order = 0;  // place among all queued events, set when queued
    };
    struct Removal {
        std::wstring root;
        std::uint64_t order = 0;
    };

    void watcher_thread();
    void handler_thread();
    // False, and nothing queued, once the handler has been told to stop.
    bool queue_arrival(Arrival arrival);
    void queue_removal(const std::wstring& root);
    void handle_arrival(const Arrival& arrival);
    void handle_removal(const std::wstring& root);
    void startup_volume_done();
    void signal_startup();

    std::unique_ptr<VolumeSource> m_source;
    const std::chrono::milliseconds m_labelDelay;

    // Both queues and the stop request, behind one mutex so the handler can
    // wait for any of them.
    std::mutex m_queueMutex;
    std::condition_variable m_queueChanged;
    std::deque<Arrival> m_arrivals;
    std::deque<Removal> m_removals;
    std::uint64_t m_nextOrder = 0;
    bool m_stopHandler = false;

    std::thread m_handler;
    std::thread m_watcher;
    // Set by start_, cleared by the watcher thread when it ends (stopped or
    // failed); read by add_volume's callers.
    std::atomic<bool> m_watcherRunning{false};

    // Volumes present at start still to be handled; the event is waited for
    // by start_ and exists only then.
    std::atomic<std::int32_t> m_startupCount{0};
    std::mutex m_startupMutex;
    std::condition_variable m_startupChanged;
    bool m_startupPending = false;
    bool m_startupDone = false;
    std::mutex m_watcherEndMutex;
    std::condition_variable m_watcherEnded;
    bool m_watcherDone = false;
};

}  // namespace MapsService
