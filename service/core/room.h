#pragma once

#include <cstdint>

namespace MapsService {

// The room a file of `bytes` takes where files take whole units of `unit`
// bytes (a card's clusters); 0 or 1: unknown, the bytes themselves.
constexpr std::uint64_t allocated_bytes(std::uint64_t bytes, std::uint64_t unit) {
    return unit <= 1 ? bytes : (bytes + unit - 1) / unit * unit;
}

}  // namespace MapsService
