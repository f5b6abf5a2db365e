#include "mapserver/shared_link.h"

#include <algorithm>

namespace atlasync::mapserver {

namespace {

// What an idle link may send at once: enough that the first slice of an
// answer need not wait, little enough that idleness banks no credit for a burst.
constexpr auto kBurst = std::chrono::milliseconds(10);

}  // namespace

std::chrono::steady_clock::time_point SharedLink::reserve(std::uint64_t bytes) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_mutex);
    m_freeAt =
        std::max<std::chrono::steady_clock::time_point>(m_freeAt, now - kBurst) + time_for(bytes);
    return m_freeAt;
}

}  // namespace atlasync::mapserver
