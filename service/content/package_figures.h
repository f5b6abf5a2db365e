#pragma once

#include <cstdint>
#include <mutex>

#include "service/core/result_codes.h"

namespace MapsService {

// The package's share of one message type's item messages, as posted last.
// The download thread posts the next item's progress while this thread still
// posts the current item's unpacking and finish, and a damaged file placed
// again counts from its start: each message carries the most the package
// showed, so that neither its bytes nor its percentage ever go back.
class PackageFigures {
public:
    // The queue's poster of the message type (OnDownloadProgress, OnUnzipProgress).
    using Post = void (*)(std::int32_t kind, std::int32_t result, std::int32_t id,
                          std::uint64_t bytes1, double percent1, std::uint64_t bytes2,
                          double percent2);
    explicit PackageFigures(Post poster) : m_post(poster) {}

    // A new package counts from 0.
    void restart();
    // Posts an item message; packageBytes of packageTotal are the package's.
    void post(std::int32_t kind, Result result, std::int32_t id, std::uint64_t itemBytes,
              double itemPercent, std::uint64_t packageBytes, std::uint64_t packageTotal);

private:
    const Post m_post;
    // Held while posting, so that two threads post in the order they rose in:
    // the queue's own lock, taken inside, never calls out.
    std::mutex m_mutex;
    std::uint64_t m_bytes = 0;
    double m_percent = 0.0;
};

// The share of done in total, 0 to 100; 100 of nothing.
double percent_of(std::uint64_t done, std::uint64_t total);

}  // namespace MapsService
