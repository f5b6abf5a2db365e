#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace atlasync::mapserver {

// Holds a body to a number of bytes a second: the sender takes a slice,
// sleeps until it is due, then writes it.
class Pace {
public:
    explicit Pace(std::uint64_t rate) : m_rate(rate) {}
    virtual ~Pace() = default;

    std::uint64_t rate() const { return m_rate; }

    // About a hundredth of a second's worth: smooth, fine enough for answers
    // sharing a link to take turns fairly, yet few sleeps.
    std::size_t slice(std::size_t wanted) const;

    // When `bytes` more may go out, once this body has sent `sent` bytes.
    virtual std::chrono::steady_clock::time_point due(std::uint64_t sent, std::size_t bytes) = 0;

protected:
    std::chrono::steady_clock::duration time_for(std::uint64_t bytes) const;

private:
    std::uint64_t m_rate;  // bytes a second, at least 1
};

// One answer's own pace. Each slice waits until all the bytes sent with it
// are due, counted from the first slice, so sleeps that overshoot are made up
// and the pace does not drift. Used by one sending thread only.
class Pacer : public Pace {
public:
    using Pace::Pace;
    std::chrono::steady_clock::time_point due(std::uint64_t sent, std::size_t bytes) override;

private:
    std::optional<std::chrono::steady_clock::time_point> m_start;
};

}  // namespace atlasync::mapserver
