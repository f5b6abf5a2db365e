#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "service/core/message.h"

namespace atlasync::testing {

// The messages queued until one of type `last` arrived, in order; stops early
// (and returns what it saw) after the time-out.
std::vector<MapsService::Message> messages_until(
    std::int32_t last, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Polls until the condition holds or the time-out passed; answers the condition.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The message types, in order.
std::vector<std::int32_t> types_of(const std::vector<MapsService::Message>& messages);

}  // namespace atlasync::testing
