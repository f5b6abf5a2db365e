#include "service/protocol/tlv_encode.h"

#include <cstring>
#include <string_view>

#include "service/protocol/utf16.h"

namespace MapsService {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

template <typename T>
void store_le(std::uint8_t* out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

// One append in progress: pieces go in one by one, and the first that does
// not fit takes the whole item back out.
class Encode::Item {
public:
    Item(Encode& encoder, std::uint8_t tag, std::size_t length)
        : m_encoder(encoder), m_start(encoder.m_position) {
        if (length > kMaximumLength) {
            m_ok = false;
            return;
        }
        std::uint8_t header[3] = {tag, 0, 0};
        store_le(header + 1, static_cast<std::uint16_t>(length));
        piece(header, 1);
        piece(header + 1, 2);
    }

    bool piece(const std::uint8_t* bytes, std::size_t count) {
        if (m_ok && !m_encoder.fits(count)) {
            m_ok = false;
        }
        if (m_ok) {
            m_encoder.put(bytes, count);
        }
        return m_ok;
    }

    bool ok() const { return m_ok; }

    bool finish() {
        if (!m_ok) {
            m_encoder.rewind(m_start);
        }
        return m_ok;
    }

private:
    Encode& m_encoder;
    std::size_t m_start;
    bool m_ok = true;
};

Encode::Encode(void* buffer, std::size_t capacity, int mode)
    : m_buffer(static_cast<std::uint8_t*>(buffer)),
      m_capacity(buffer != nullptr ? capacity : 0),
      m_hex(mode == kHexMode) {
    if (m_hex && m_capacity > 0) {
        m_buffer[0] = 0;
    }
}

bool Encode::fits(std::size_t bytes) const {
    const std::size_t needed = m_hex ? 2 * bytes : bytes;
    return needed <= m_capacity - m_position;
}

void Encode::put(const std::uint8_t* bytes, std::size_t count) {
    if (!m_hex) {
        if (count > 0) {
            std::memcpy(m_buffer + m_position, bytes, count);
        }
        m_position += count;
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        m_buffer[m_position++] = static_cast<std::uint8_t>(kHexDigits[bytes[i] >> 4]);
        m_buffer[m_position++] = static_cast<std::uint8_t>(kHexDigits[bytes[i] & 0x0F]);
    }
    // The text stays terminated after every piece while there is room for it.
    if (m_position < m_capacity) {
        m_buffer[m_position] = 0;
    }
}

void Encode::rewind(std::size_t position) {
    m_position = position;
    if (m_hex && m_position < m_capacity) {
        m_buffer[m_position] = 0;
    }
}

bool Encode::add(std::uint8_t tag, const void* bytes, std::size_t length) {
    Item item(*this, tag, length);
    if (length > 0) {
        item.piece(static_cast<const std::uint8_t*>(bytes), length);
    }
    return item.finish();
}

bool Encode::add_empty(std::uint8_t tag) {
    return add(tag, nullptr, 0);
}

bool Encode::add_flag(std::uint8_t tag, bool value) {
    const std::uint8_t byte = value ? 0xFF : 0x00;
    return add(tag, &byte, 1);
}

bool Encode::add_uint16(std::uint8_t tag, std::uint16_t value) {
    std::uint8_t bytes[2];
    store_le(bytes, value);
    return add(tag, bytes, sizeof bytes);
}

bool Encode::add_uint32(std::uint8_t tag, std::uint32_t value) {
    std::uint8_t bytes[4];
    store_le(bytes, value);
    return add(tag, bytes, sizeof bytes);
}

bool Encode::add_uint64(std::uint8_t tag, std::uint64_t value) {
    std::uint8_t bytes[8];
    store_le(bytes, value);
    return add(tag, bytes, sizeof bytes);
}

template <typename T>
bool Encode::add_array(std::uint8_t tag, const T* values, std::size_t count) {
    const bool tooLong = count > kMaximumLength / sizeof(T);
    Item item(*this, tag, tooLong ? kMaximumLength + 1 : sizeof(T) * count);
    for (std::size_t i = 0; i < count && item.ok(); ++i) {
        std::uint8_t bytes[sizeof(T)];
        store_le(bytes, values[i]);
        item.piece(bytes, sizeof bytes);
    }
    return item.finish();
}

bool Encode::add_uint16_array(std::uint8_t tag, const std::uint16_t* values, std::size_t count) {
    return add_array(tag, values, count);
}

bool Encode::add_uint32_array(std::uint8_t tag, const std::uint32_t* values, std::size_t count) {
    return add_array(tag, values, count);
}

bool Encode::add_string(std::uint8_t tag, const char* text, std::size_t length) {
    if (text == nullptr) {
        return add_empty(tag);
    }
    if (length == 0) {
        length = std::strlen(text);
    }
    if (length >= kMaximumLength) {
        return false;
    }
    Item item(*this, tag, length + 1);
    const std::uint8_t zero = 0;
    item.piece(reinterpret_cast<const std::uint8_t*>(text), length);
    item.piece(&zero, 1);
    return item.finish();
}

bool Encode::add_wide_string(std::uint8_t tag, const wchar_t* text) {
    if (text == nullptr) {
        return add_empty(tag);
    }
    return add_wide_string(tag, std::wstring_view(text));
}

bool Encode::add_wide_string(std::uint8_t tag, std::wstring_view view) {
    const std::size_t units = utf16_length(view) + 1;
    if (units > kMaximumLength / 2) {
        return false;
    }
    Item item(*this, tag, 2 * units);
    auto put_unit = [&item](std::uint16_t unit) {
        std::uint8_t bytes[2];
        store_le(bytes, unit);
        return item.piece(bytes, sizeof bytes);
    };
    if (for_each_utf16_unit(view, put_unit)) {
        put_unit(0);
    }
    return item.finish();
}

bool Encode::add_end() {
    return add_empty(0);
}

}  // namespace MapsService
