#pragma once

#include <cstdint>
#include <string>

namespace atlasync::mapserver {

// A small generator with a fixed algorithm (splitmix64), so that a seed gives
// the same world on every machine and standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next();
    // Uniform enough in [low, high]; both ends included.
    std::uint64_t between(std::uint64_t low, std::uint64_t high);
    std::string bytes(std::size_t count);

private:
    std::uint64_t m_state;
};

// Mixes values into a seed for an independent stream (one per tile, voice, ...).
std::uint64_t derive_seed(std::uint64_t seed, std::uint64_t a, std::uint64_t b = 0);

// FNV-1a: a text's number, the same everywhere (std::hash is not).
std::uint64_t text_hash(const std::string& text);

}  // namespace atlasync::mapserver
