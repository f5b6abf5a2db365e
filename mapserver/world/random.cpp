#include "mapserver/world/random.h"

namespace atlasync::mapserver {

std::uint64_t Random::next() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t Random::between(std::uint64_t low, std::uint64_t high) {
    const std::uint64_t span = high - low + 1;
    return span == 0 ? next() : low + next() % span;
}

std::string Random::bytes(std::size_t count) {
    std::string out(count, '\0');
    for (std::size_t i = 0; i < count; i += 8) {
        std::uint64_t value = next();
        for (std::size_t j = i; j < count && j < i + 8; ++j) {
            out[j] = static_cast<char>(value & 0xFF);
            value >>= 8;
        }
    }
    return out;
}

std::uint64_t derive_seed(std::uint64_t seed, std::uint64_t a, std::uint64_t b) {
    Random random(seed ^ (a * 0xD6E8FEB86659FD93ULL) ^ (b * 0xA0761D6478BD642FULL));
    return random.next();
}

std::uint64_t text_hash(const std::string& text) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (unsigned char c : text) {
        hash = (hash ^ c) * 0x100000001B3ULL;
    }
    return hash;
}

}  // namespace atlasync::mapserver
