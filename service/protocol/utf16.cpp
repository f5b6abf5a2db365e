#include "service/protocol/utf16.h"

namespace MapsService {

std::size_t utf16_length(std::wstring_view text) {
    std::size_t units = 0;
    for (wchar_t wc : text) {
        units += utf16_encodable(wc) < 0x10000 ? 1 : 2;
    }
    return units;
}

std::wstring utf16le_to_wide(const std::uint8_t* bytes, std::size_t units) {
    auto unit_at = [bytes](std::size_t i) {
        return static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    };
    std::size_t length = 0;
    while (length < units && unit_at(length) != 0) {
        ++length;
    }
    // Catalog texts are short and many: size once, then write in place.
    std::wstring out(length, L'\0');
    std::size_t written = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint16_t unit = unit_at(i);
        char32_t cp = unit;
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            const std::uint16_t low = i + 1 < length ? unit_at(i + 1) : 0;
            if (unit <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                cp = 0xFFFD;
            }
        }
        out[written++] = static_cast<wchar_t>(cp);
    }
    out.resize(written);
    return out;
}

}  // namespace MapsService
