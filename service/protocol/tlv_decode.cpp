#include "service/protocol/tlv_decode.h"

#include <array>
#include <cstring>

#include "service/protocol/utf16.h"

namespace MapsService {

namespace {

// Digit values by character, -1 for every other character.
constexpr std::array<std::int8_t, 256> kHexValues = [] {
    std::array<std::int8_t, 256> values{};
    values.fill(-1);
    for (int c = 0; c < 10; ++c) {
        values['0' + c] = static_cast<std::int8_t>(c);
    }
    for (int c = 0; c < 6; ++c) {
        values['a' + c] = static_cast<std::int8_t>(10 + c);
        values['A' + c] = static_cast<std::int8_t>(10 + c);
    }
    return values;
}();

int hex_value(std::uint8_t c) {
    return kHexValues[c];
}

}  // namespace

bool Decode::is_hex_digit(std::uint8_t c) {
    return hex_value(c) >= 0;
}

bool Decode::looks_like_hex(const void* buffer, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    if (bytes == nullptr || size <= 5) {
        return false;
    }
    for (std::size_t i = 0; i < 6; ++i) {
        if (!is_hex_digit(bytes[i])) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> Decode::hex_to_bytes(const void* buffer, std::size_t size) {
    std::vector<std::uint8_t> bytes;
    hex_to_bytes(buffer, size, bytes);
    return bytes;
}

void Decode::hex_to_bytes(const void* buffer, std::size_t size, std::vector<std::uint8_t>& bytes) {
    const auto* text = static_cast<const std::uint8_t*>(buffer);
    bytes.resize(size / 2);
    std::size_t count = 0;
    std::size_t i = 0;
    // Servers send nothing but digits: take them sixteen at a time, checking
    // each block once, then two at a time up to the first other character.
    constexpr std::size_t kBlock = 16;
    while (i + kBlock <= size) {
        std::uint8_t block[kBlock / 2];
        int invalid = 0;
        for (std::size_t k = 0; k < kBlock / 2; ++k) {
            const int high = hex_value(text[i + 2 * k]);
            const int low = hex_value(text[i + 2 * k + 1]);
            invalid |= high | low;
            block[k] = static_cast<std::uint8_t>((high << 4) | low);
        }
        if (invalid < 0) {
            break;
        }
        std::memcpy(bytes.data() + count, block, sizeof block);
        count += sizeof block;
        i += kBlock;
    }
    while (i + 1 < size) {
        const int high = hex_value(text[i]);
        const int low = hex_value(text[i + 1]);
        if ((high | low) < 0) {
            break;
        }
        bytes[count++] = static_cast<std::uint8_t>((high << 4) | low);
        i += 2;
    }
    int pending = -1;
    for (; i < size; ++i) {
        const int value = hex_value(text[i]);
        if (value < 0) {
            continue;
        }
        if (pending < 0) {
            pending = value;
        } else {
            bytes[count++] = static_cast<std::uint8_t>((pending << 4) | value);
            pending = -1;
        }
    }
    bytes.resize(count);
}

bool TlvReader::next(TlvItem& item) {
    if (m_at >= m_size) {
        m_complete = true;
        return false;
    }
    const std::uint8_t tag = m_stream[m_at];
    if (tag == 0) {
        m_complete = true;
        return false;
    }
    if (m_size - m_at < 3) {
        return false;
    }
    const auto length = static_cast<std::uint16_t>(m_stream[m_at + 1] | (m_stream[m_at + 2] << 8));
    if (m_size - m_at - 3 < length) {
        return false;
    }
    item = TlvItem{tag, length, m_stream + m_at + 3};
    m_at += 3 + std::size_t{length};
    return true;
}

Decode::Decode(const void* buffer, std::size_t size, int mode) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    if (bytes == nullptr || size == 0) {
        return;
    }
    m_hex = mode == kHex || (mode == kDetect && looks_like_hex(bytes, size));
    if (!m_hex) {
        split(bytes, size);
        return;
    }
    if (size < 2) {
        return;
    }
    m_converted = hex_to_bytes(bytes, size);
    split(m_converted.data(), m_converted.size());
}

void Decode::split(const std::uint8_t* stream, std::size_t size) {
    TlvReader reader(stream, size);
    TlvItem item;
    while (reader.next(item)) {
        m_items.push_back(item);
    }
    m_complete = reader.complete();
}

std::optional<std::uint32_t> Decode::value_uint32(const TlvItem& item) {
    if (item.length < 4) {
        return std::nullopt;
    }
    const std::uint8_t* v = item.value;
    return static_cast<std::uint32_t>(v[0]) | (static_cast<std::uint32_t>(v[1]) << 8) |
           (static_cast<std::uint32_t>(v[2]) << 16) | (static_cast<std::uint32_t>(v[3]) << 24);
}

std::optional<std::wstring> Decode::value_wide_string(const TlvItem& item) {
    if (!holds_wide_string(item)) {
        return std::nullopt;
    }
    return utf16le_to_wide(item.value, item.length / 2);
}

}  // namespace MapsService
