#include "tests/phones/message_wait.h"

#include <thread>

#include "service/core/message_queue.h"

namespace atlasync::testing {

using namespace MapsService;

std::vector<Message> messages_until(std::int32_t last, std::chrono::milliseconds timeout) {
    std::vector<Message> messages;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        Message message;
        if (message_queue().pop(message, 50) == kResultOk && message.type != MSG_NOTHING) {
            messages.push_back(message);
            if (message.type == last) {
                break;
            }
        }
    }
    return messages;
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::vector<std::int32_t> types_of(const std::vector<Message>& messages) {
    std::vector<std::int32_t> types;
    for (const Message& message : messages) {
        types.push_back(message.type);
    }
    return types;
}

}  // namespace atlasync::testing
