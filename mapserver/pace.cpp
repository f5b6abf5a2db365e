#include "mapserver/pace.h"

#include <algorithm>

namespace atlasync::mapserver {

std::size_t Pace::slice(std::size_t wanted) const {
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(wanted, std::max<std::uint64_t>(1, m_rate / 100)));
}

std::chrono::steady_clock::duration Pace::time_for(std::uint64_t bytes) const {
    const std::chrono::duration<long double> seconds(static_cast<long double>(bytes) /
                                                     static_cast<long double>(m_rate));
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(seconds);
}

std::chrono::steady_clock::time_point Pacer::due(std::uint64_t sent, std::size_t bytes) {
    if (!m_start) {
        m_start = std::chrono::steady_clock::now();
    }
    return *m_start + time_for(sent + bytes);
}

}  // namespace atlasync::mapserver
