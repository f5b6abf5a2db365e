#include "ui/messaging/maps_message_thread.h"

#include <atomic>
#include <chrono>
#include <utility>
#include <vector>

#include "service/core/message_queue.h"
#include "service/core/trace.h"
#include "ui/messaging/call_gate.h"

namespace atlasync::ui {

namespace {

// The type of the pump's own markers: no message of the service's, which are
// all positive; readers other than the pump pass over it as an unknown type.
constexpr std::int32_t kMarkerType = -1;

std::atomic<std::int32_t> g_lastMarkerToken{0};

}  // namespace

std::uint32_t tick_count() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

CMapsMessageThread::CMapsMessageThread() : m_self(std::make_shared<CMapsMessageThread*>(this)) {}

CMapsMessageThread::~CMapsMessageThread() {
    stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CMapsMessageThread::start() {
    if (m_running.load()) {
        return;
    }
    if (m_thread.joinable()) {
        m_thread.join();  // the previous run has forwarded MSG_FINISH
    }
    m_running.store(true);
    m_finishPosted = false;
    {
        const std::lock_guard lock(m_markerMutex);
        m_pumpEnded = false;
    }
    m_thread = std::thread([this] { pump(); });
}

void CMapsMessageThread::post_after_queued(std::function<void()> function) {
    // Like a forwarded message, the call is dropped once the pump is gone:
    // what it refers to may be gone with it.
    const std::weak_ptr<CMapsMessageThread*> self = m_self;
    std::function<void()> guarded = [self, function = std::move(function)] {
        if (self.lock()) {
            function();
        }
    };
    std::unique_lock lock(m_markerMutex);
    if (m_pumpEnded) {
        lock.unlock();
        CMainThreadCallGate::post(std::move(guarded));
        return;
    }
    const std::int32_t token = ++g_lastMarkerToken;
    m_markers[token] = std::move(guarded);
    lock.unlock();
    MapsService::Message marker(kMarkerType);
    marker.id = token;
    MapsService::message_queue().add_message(marker);
}

std::function<void()> CMapsMessageThread::take_marker(std::int32_t token) {
    const std::lock_guard lock(m_markerMutex);
    const auto found = m_markers.find(token);
    if (found == m_markers.end()) {
        return {};
    }
    std::function<void()> function = std::move(found->second);
    m_markers.erase(found);
    return function;
}

// The pump has ended: markers still queued would never come out, so their
// functions go to the gate now, behind everything it forwarded.
void CMapsMessageThread::release_markers() {
    const std::lock_guard lock(m_markerMutex);
    m_pumpEnded = true;
    for (auto& [token, function] : m_markers) {
        CMainThreadCallGate::post(std::move(function));
    }
    m_markers.clear();
}

void CMapsMessageThread::stop() {
    if (m_running.load() && !std::exchange(m_finishPosted, true)) {
        if (MapsService::post_finish() != MapsService::kResultOk) {
            MapsService::TraceError("CMapsMessageThread::stop: cannot post MSG_FINISH");
        }
    }
}

void CMapsMessageThread::pump() {
    const std::weak_ptr<CMapsMessageThread*> self = m_self;
    for (;;) {
        MapsService::Message message;
        if (MapsService::get_message(message, 0) != MapsService::kResultOk) {
            // The queue cannot wait; nothing more will arrive.
            MapsService::TraceError("CMapsMessageThread: get_message failed, pump ends");
            break;
        }
        if (message.type == kMarkerType) {
            if (std::function<void()> marked = take_marker(message.id)) {
                CMainThreadCallGate::post(std::move(marked));
            }
            continue;
        }
        // The gate's function owns its copy of the message.
        CMainThreadCallGate::post([self, message] {
            if (const auto pump = self.lock()) {
                (*pump)->deliver(message);
            }
        });
        if (message.type == MapsService::MSG_FINISH) {
            break;
        }
    }
    release_markers();
    m_running.store(false);
}

void CMapsMessageThread::deliver(const MapsService::Message& message) {
    const std::uint32_t tick = tick_count();
    std::vector<std::pair<CPhoneMsgNfyItem*, Callback>> subscribers(m_subscribers.begin(),
                                                                    m_subscribers.end());
    for (auto& [subscriber, callback] : subscribers) {
        // A subscriber may remove another one while handling the message.
        if (m_subscribers.count(subscriber) != 0) {
            callback(message, tick);
        }
    }
}

void CMapsMessageThread::subscribe(CPhoneMsgNfyItem* subscriber, Callback callback) {
    m_subscribers[subscriber] = std::move(callback);
}

void CMapsMessageThread::unsubscribe(CPhoneMsgNfyItem* subscriber) {
    m_subscribers.erase(subscriber);
}

CPhoneMsgNfyItem::CPhoneMsgNfyItem(CMapsMessageThread& pump) : m_pump(pump) {
    m_pump.subscribe(this, [this](const MapsService::Message& message, std::uint32_t tick) {
        on_message(message, tick);
    });
}

CPhoneMsgNfyItem::~CPhoneMsgNfyItem() {
    m_pump.unsubscribe(this);
}

}  // namespace atlasync::ui
