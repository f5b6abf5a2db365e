#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "service/core/sync.h"
#include "service/protocol/downloader.h"

namespace atlasync::testing {

// `size` bytes of a repeating pattern.
inline std::string pattern(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>('a' + i % 23);
    }
    return body;
}

// A transfer target that records the progress it is given; it may cancel on the
// first report, refuse to go on, or throw from its callbacks.
class RecordingJob : public MapsService::TransferTarget {
public:
    void progress(std::uint64_t bytes) override {
        reports.push_back(bytes);
        if (cancelOnProgress) {
            MapsService::service_cancel_flag().set();
        }
        if (throwOnProgress) {
            throw std::runtime_error("progress");
        }
    }
    bool may_continue() override {
        if (throwOnAsk) {
            throw std::runtime_error("may continue");
        }
        return mayContinue;
    }

    std::vector<std::uint64_t> reports;
    bool cancelOnProgress = false;
    bool mayContinue = true;
    bool throwOnProgress = false;
    bool throwOnAsk = false;
};

}  // namespace atlasync::testing
