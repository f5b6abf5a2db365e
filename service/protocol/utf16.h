#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace MapsService {

// Wide strings travel as UTF-16LE on the wire; in memory a wchar_t holds one code point.

// Code points that UTF-16 cannot carry (lone surrogates, beyond U+10FFFF) become U+FFFD.
inline char32_t utf16_encodable(wchar_t wc) {
    const auto cp = static_cast<char32_t>(static_cast<std::uint32_t>(wc));
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0xFFFD;
    }
    return cp;
}

// Number of UTF-16 code units the text needs.
std::size_t utf16_length(std::wstring_view text);

// Calls sink(unit) for every UTF-16 code unit of the text, surrogate pairs in order.
template <typename Sink>
bool for_each_utf16_unit(std::wstring_view text, Sink&& sink) {
    for (wchar_t wc : text) {
        const char32_t cp = utf16_encodable(wc);
        if (cp < 0x10000) {
            if (!sink(static_cast<std::uint16_t>(cp))) {
                return false;
            }
        } else {
            const char32_t v = cp - 0x10000;
            if (!sink(static_cast<std::uint16_t>(0xD800 + (v >> 10))) ||
                !sink(static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF)))) {
                return false;
            }
        }
    }
    return true;
}

// Reads up to `units` UTF-16LE code units, stopping at the first zero unit.
// Surrogate pairs are joined; a lone surrogate becomes U+FFFD.
std::wstring utf16le_to_wide(const std::uint8_t* bytes, std::size_t units);
// The same, appended to the text.
void append_utf16le(std::wstring& out, const std::uint8_t* bytes, std::size_t units);

}  // namespace MapsService
