#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace MapsService {

// A view of one decoded item: its value lies in the decoder's stream.
struct TlvItem {
    std::uint8_t tag = 0;
    std::uint16_t length = 0;             // value bytes
    const std::uint8_t* value = nullptr;  // first value byte; valid while the decoder lives
};

// Walks the items of a binary stream one by one without storing them.
class TlvReader {
public:
    TlvReader(const std::uint8_t* stream, std::size_t size) : m_stream(stream), m_size(size) {}

    // The next item; false at the end item, at the end of the stream or at damage.
    bool next(TlvItem& item);
    // True once the walk ended at an end item or exactly after an item.
    bool complete() const { return m_complete; }

private:
    const std::uint8_t* m_stream;
    std::size_t m_size;
    std::size_t m_at = 0;
    bool m_complete = false;
};

// Splits a TLV stream into items at construction. In binary mode the items
// refer into the caller's buffer, which must outlive the decoder; hex text is
// converted into a buffer the decoder owns. Nothing is ever read beyond the
// stream: a damaged stream yields the items before the damage.
class Decode {
public:
    static constexpr int kBinary = 0;
    static constexpr int kHex = 1;
    // Hex when the buffer is longer than 5 bytes and its first six are hex digits.
    static constexpr int kDetect = 2;

    Decode(const void* buffer, std::size_t size, int mode);
    virtual ~Decode() = default;
    Decode(const Decode&) = delete;
    Decode& operator=(const Decode&) = delete;

    std::size_t count() const { return m_items.size(); }
    const TlvItem& item(std::size_t index) const { return m_items[index]; }
    const std::vector<TlvItem>& items() const { return m_items; }

    // True when the stream ended at an end item or exactly after an item.
    bool complete() const { return m_complete; }
    bool hex() const { return m_hex; }

    // The first four value bytes; absent when the value is shorter.
    static std::optional<std::uint32_t> value_uint32(const TlvItem& item);
    // Absent unless the value is an even number of bytes, at least two, whose
    // last byte is zero. The text ends at the first zero code unit.
    static std::optional<std::wstring> value_wide_string(const TlvItem& item);
    // Whether value_wide_string has a text for the item.
    static bool holds_wide_string(const TlvItem& item) {
        return item.length >= 2 && item.length % 2 == 0 && item.value[item.length - 1] == 0;
    }

    static bool is_hex_digit(std::uint8_t c);
    // The detection rule: longer than 5 bytes, the first six hex digits.
    static bool looks_like_hex(const void* buffer, std::size_t size);
    // Converts hex text to bytes; other characters are skipped, an odd last digit dropped.
    static std::vector<std::uint8_t> hex_to_bytes(const void* text, std::size_t size);
    // The same into a buffer the caller keeps, so its memory is reused.
    static void hex_to_bytes(const void* text, std::size_t size, std::vector<std::uint8_t>& bytes);

private:
    void split(const std::uint8_t* stream, std::size_t size);

    std::vector<std::uint8_t> m_converted;
    std::vector<TlvItem> m_items;
    bool m_complete = false;
    bool m_hex = false;
};

}  // namespace MapsService
