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
    std::wstring out;
    out.reserve(units);
    auto unit_at = [bytes](std::size_t i) {
        return static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint16_t unit = unit_at(i);
        if (unit == 0) {
            break;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const std::uint16_t low = unit_at(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                const char32_t cp = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00);
                out.push_back(static_cast<wchar_t>(cp));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
        } else {
            out.push_back(static_cast<wchar_t>(unit));
        }
    }
    return out;
}

}  // namespace MapsService
