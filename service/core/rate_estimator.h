#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace MapsService {

// The latest transfer rates of one phase, in bytes per millisecond, bounded:
// the oldest rate goes when a new one would exceed the capacity.
class RateEstimator {
public:
    explicit RateEstimator(std::size_t capacity) : m_capacity(capacity) {}

    void add(double bytesPerMillisecond);
    std::size_t size() const { return m_rates.size(); }
    bool empty() const { return m_rates.empty(); }

    // Milliseconds for the remaining bytes at the trimmed mean rate (a tenth of
    // the rates dropped at each end); none without a rate.
    std::optional<std::uint64_t> remaining_milliseconds(std::uint64_t remainingBytes) const;

private:
    std::size_t m_capacity;
    std::deque<double> m_rates;
};

}  // namespace MapsService
