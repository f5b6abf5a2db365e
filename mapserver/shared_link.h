#pragma once

#include <mutex>

#include "mapserver/pace.h"

namespace atlasync::mapserver {

// A link of fixed bandwidth that every answer of one fault rule sends through,
// on whichever connection and worker thread: N answers at once get the rate
// together, not N times it. Each slice reserves its turn on the link, so
// answers interleave slice by slice. Thread-safe.
class SharedLink : public Pace {
public:
    using Pace::Pace;
    // Reserves `bytes` on the link: when they may go out, behind everything
    // reserved before.
    std::chrono::steady_clock::time_point reserve(std::uint64_t bytes);
    // The link does not care how much this answer has sent already.
    std::chrono::steady_clock::time_point due(std::uint64_t, std::size_t bytes) override {
        return reserve(bytes);
    }

private:
    std::mutex m_mutex;
    std::chrono::steady_clock::time_point m_freeAt;  // when the link has sent all reserved bytes
};

}  // namespace atlasync::mapserver
