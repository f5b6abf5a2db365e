#include "service/protocol/utf16.h"

namespace MapsService {

std::size_t utf16_length(std::wstring_view text) {
    std::size_t units = 0;
    for (wchar_t wc : text) {
        units += utf16_encodable(wc) < 0x10000 ? 1 : 2;
    }
    return units;
}

void append_utf16le(std::wstring& out, const std::uint8_t* bytes, std::size_t units) {
    // One pass into room for every unit, trimmed afterwards: catalog pages
    // carry hundreds of thousands of units in short texts.
    const std::size_t start = out.size();
    out.resize(start + units);
    wchar_t* const text = out.data() + start;
    std::size_t written = 0;
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit == 0) {
            break;
        }
        if (unit < 0xD800 || unit > 0xDFFF) [[likely]] {
            text[written++] = static_cast<wchar_t>(unit);
            continue;
        }
        const std::uint16_t low =
            i + 1 < units ? static_cast<std::uint16_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8))
                          : 0;
        if (unit <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
            text[written++] =
                static_cast<wchar_t>(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00));
            ++i;
        } else {
            text[written++] = static_cast<wchar_t>(0xFFFD);
        }
    }
    out.resize(start + written);
}

std::wstring utf16le_to_wide(const std::uint8_t* bytes, std::size_t units) {
    std::wstring out;
    append_utf16le(out, bytes, units);
    return out;
}

}  // namespace MapsService
