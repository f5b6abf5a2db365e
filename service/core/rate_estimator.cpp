#include "service/core/rate_estimator.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace MapsService {

void RateEstimator::add(double bytesPerMillisecond) {
    m_rates.push_back(bytesPerMillisecond);
    while (m_rates.size() > m_capacity) {
        m_rates.pop_front();
    }
}

std::optional<std::uint64_t> RateEstimator::remaining_milliseconds(
    std::uint64_t remainingBytes) const {
    if (m_rates.empty()) {
        return std::nullopt;
    }
    std::vector<double> sorted(m_rates.begin(), m_rates.end());
    std::sort(sorted.begin(), sorted.end());
    const std::size_t trim = sorted.size() / 10;
    const auto first = sorted.begin() + static_cast<std::ptrdiff_t>(trim);
    const auto last = sorted.end() - static_cast<std::ptrdiff_t>(trim);
    const double mean = std::accumulate(first, last, 0.0) / static_cast<double>(last - first);
    if (!(mean > 0.0)) {
        return std::nullopt;  // no progress measured: no honest estimate
    }
    return static_cast<std::uint64_t>(std::llround(static_cast<double>(remainingBytes) / mean));
}

}  // namespace MapsService
