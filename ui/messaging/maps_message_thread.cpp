#include "ui/messaging/maps_message_thread.h"

#include <chrono>
#include <vector>

#include "service/core/message_queue.h"
#include "service/core/trace.h"
#include "ui/messaging/call_gate.h"

namespace atlasync::ui {

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
    m_thread = std::thread([this] { pump(); });
}

void CMapsMessageThread::stop() {
    if (m_running.load()) {
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
