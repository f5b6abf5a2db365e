#include "tests/ui/observer_test_support.h"

#include <gtest/gtest.h>

#include "service/core/message_queue.h"

namespace atlasync::testing {

// Counts the markers that deliver() sends behind the messages under test.
class PumpFixture::Counter : public ui::CPhoneMsgNfyItem {
public:
    using CPhoneMsgNfyItem::CPhoneMsgNfyItem;
    void on_message(const MapsService::Message& message, std::uint32_t /*tick*/) override {
        if (message.type == MapsService::MSG_API_UPDATE_AVAILABLE) {
            ++markers;
        }
    }
    int markers = 0;
};

PumpFixture::PumpFixture() {
    qt_application();
    m_counter = std::make_unique<Counter>(m_pump);
    m_pump.start();
}

PumpFixture::~PumpFixture() {
    m_counter.reset();
    m_pump.stop();
    process_events_until([this] { return !m_pump.running(); });
}

void PumpFixture::deliver() {
    // A type no service operation sends marks the end of what was produced.
    const int expected = m_counter->markers + 1;
    MapsService::message_queue().add_message(
        MapsService::Message(MapsService::MSG_API_UPDATE_AVAILABLE));
    ASSERT_TRUE(process_events_until([&] { return m_counter->markers == expected; }));
    // Messages arrive in order and each is delivered to every subscriber in one
    // call, so every earlier message has been handled everywhere.
}

}  // namespace atlasync::testing
