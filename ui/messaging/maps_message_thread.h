#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "service/core/message.h"

namespace atlasync::ui {

class CPhoneMsgNfyItem;

// Milliseconds of a steady clock, wrapping like a 32-bit tick count.
std::uint32_t tick_count();

// The pump: one thread blocks for the service's messages and forwards each,
// in order, to the user-interface thread through the main call gate, where the
// subscribers get it. It ends after forwarding MSG_FINISH.
class CMapsMessageThread {
public:
    using Callback = std::function<void(const MapsService::Message& message, std::uint32_t tick)>;

    CMapsMessageThread();
    // Stops the pump and waits for its thread, which ends once MSG_FINISH has
    // been taken from the queue.
    ~CMapsMessageThread();
    CMapsMessageThread(const CMapsMessageThread&) = delete;
    CMapsMessageThread& operator=(const CMapsMessageThread&) = delete;

    // Starts the thread unless it runs.
    void start();
    // Places MSG_FINISH in the service's queue unless the pump has ended;
    // does not wait. MSG_FINISH reaches the subscribers like any message.
    void stop();
    bool running() const { return m_running.load(); }

    // Any thread: runs the function on the user-interface thread after every
    // message that the service queued before this call has been delivered. A
    // marker in the service's own queue carries it, so that an operation's
    // result never overtakes the progress it reported. With the pump ended it
    // goes to the gate at once.
    void post_after_queued(std::function<void()> function);

    // User-interface thread only, like the delivery.
    void subscribe(CPhoneMsgNfyItem* subscriber, Callback callback);
    void unsubscribe(CPhoneMsgNfyItem* subscriber);

private:
    void pump();
    void deliver(const MapsService::Message& message);
    // The marker's function, or an empty one when it was handed on already.
    std::function<void()> take_marker(std::int32_t token);
    void release_markers();

    std::atomic<bool> m_running{false};
    std::thread m_thread;
    std::map<CPhoneMsgNfyItem*, Callback> m_subscribers;
    // Markers carry a token of their own in the id; tokens are unique in the
    // process, so a marker a pump left behind never fires a later pump's call.
    std::mutex m_markerMutex;
    std::map<std::int32_t, std::function<void()>> m_markers;
    bool m_pumpEnded = true;      // guarded by m_markerMutex
    bool m_finishPosted = false;  // once a run: a second MSG_FINISH would end the next pump
    // Forwarded messages hold only a weak link, so a message still queued at the
    // gate when the pump is destroyed is dropped instead of reaching freed memory.
    std::shared_ptr<CMapsMessageThread*> m_self;
};

// Base of every subscriber: registers with the pump when constructed and
// unregisters when destroyed.
class CPhoneMsgNfyItem {
public:
    explicit CPhoneMsgNfyItem(CMapsMessageThread& pump);
    virtual ~CPhoneMsgNfyItem();
    CPhoneMsgNfyItem(const CPhoneMsgNfyItem&) = delete;
    CPhoneMsgNfyItem& operator=(const CPhoneMsgNfyItem&) = delete;

    virtual void on_message(const MapsService::Message& message, std::uint32_t tick) = 0;

protected:
    CMapsMessageThread& pump() { return m_pump; }

private:
    CMapsMessageThread& m_pump;
};

}  // namespace atlasync::ui
