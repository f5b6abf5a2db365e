#include "service/content/package_figures.h"

#include <algorithm>

namespace MapsService {

double percent_of(std::uint64_t done, std::uint64_t total) {
    if (total == 0) {
        return 100.0;
    }
    return std::min(100.0, static_cast<double>(done) * 100.0 / static_cast<double>(total));
}

void PackageFigures::restart() {
    const std::lock_guard lock(m_mutex);
    m_bytes = 0;
    m_percent = 0.0;
}

void PackageFigures::post(std::int32_t kind, Result result, std::int32_t id,
                          std::uint64_t itemBytes, double itemPercent, std::uint64_t packageBytes,
                          std::uint64_t packageTotal) {
    const std::lock_guard lock(m_mutex);
    m_bytes = std::max(m_bytes, packageBytes);
    // A total that grows (an archive of unknown size) would lower the share.
    m_percent = std::max(m_percent, percent_of(m_bytes, packageTotal));
    m_post(kind, result, id, itemBytes, itemPercent, m_bytes, m_percent);
}

}  // namespace MapsService
