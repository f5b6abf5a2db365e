#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace MapsService {

// Writes TLV items into a caller-owned buffer, either as raw bytes or as
// upper-case hexadecimal text. Never writes beyond the capacity and never
// allocates; an item that does not fit is left out whole and its append fails.
class Encode {
public:
    static constexpr int kHexMode = 1;
    static constexpr std::size_t kMaximumLength = 65535;

    // Mode 1 selects hex mode, any other value binary mode. In hex mode the
    // buffer holds an empty text at once.
    Encode(void* buffer, std::size_t capacity, int mode);
    virtual ~Encode() = default;
    Encode(const Encode&) = delete;
    Encode& operator=(const Encode&) = delete;

    [[nodiscard]] bool add(std::uint8_t tag, const void* bytes, std::size_t length);

    [[nodiscard]] bool add_empty(std::uint8_t tag);
    [[nodiscard]] bool add_flag(std::uint8_t tag, bool value);
    [[nodiscard]] bool add_uint16(std::uint8_t tag, std::uint16_t value);
    [[nodiscard]] bool add_uint32(std::uint8_t tag, std::uint32_t value);
    [[nodiscard]] bool add_uint64(std::uint8_t tag, std::uint64_t value);
    [[nodiscard]] bool add_uint16_array(std::uint8_t tag, const std::uint16_t* values,
                                        std::size_t count);
    [[nodiscard]] bool add_uint32_array(std::uint8_t tag, const std::uint32_t* values,
                                        std::size_t count);
    // The value is `length` characters of text (all of it when 0) and a zero byte.
    [[nodiscard]] bool add_string(std::uint8_t tag, const char* text, std::size_t length = 0);
    // UTF-16LE code units and a zero unit; a missing text gives an empty value.
    [[nodiscard]] bool add_wide_string(std::uint8_t tag, const wchar_t* text);
    [[nodiscard]] bool add_wide_string(std::uint8_t tag, std::wstring_view text);
    [[nodiscard]] bool add_end();

    // Bytes (binary) or characters (hex) used so far.
    std::size_t size() const { return m_position; }
    bool hex_mode() const { return m_hex; }

private:
    class Item;

    template <typename T>
    bool add_array(std::uint8_t tag, const T* values, std::size_t count);
    bool fits(std::size_t bytes) const;
    void put(const std::uint8_t* bytes, std::size_t count);
    void rewind(std::size_t position);

    std::uint8_t* m_buffer;
    std::size_t m_capacity;
    std::size_t m_position = 0;
    bool m_hex;
};

}  // namespace MapsService
