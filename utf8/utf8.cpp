#include "utf8/utf8.h"

#include <clocale>
#include <cstdint>

namespace atlasync::utf8 {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void append_utf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = kReplacement;
    }
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::string to_narrow(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t wc : wide) {
        append_utf8(out, static_cast<char32_t>(static_cast<std::uint32_t>(wc)));
    }
    return out;
}

std::wstring to_wide(std::string_view narrow) {
    std::wstring out;
    out.reserve(narrow.size());
    std::size_t i = 0;
    while (i < narrow.size()) {
        const auto lead = static_cast<unsigned char>(narrow[i]);
        int extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
            continue;
        }
        bool valid = true;
        std::size_t j = 1;
        for (; valid && j <= static_cast<std::size_t>(extra); ++j) {
            if (i + j >= narrow.size()) {
                valid = false;
                break;
            }
            const auto cont = static_cast<unsigned char>(narrow[i + j]);
            if ((cont & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (cont & 0x3F);
        }
        // Overlong forms and surrogates are as invalid as broken sequences.
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (!valid || cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(static_cast<wchar_t>(kReplacement));
            i += valid ? static_cast<std::size_t>(extra) + 1 : (j > 1 ? j : 1);
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

void set_locale_from_environment() {
    if (std::setlocale(LC_ALL, "") == nullptr) {
        std::setlocale(LC_ALL, "C.UTF-8");
    }
}

}  // namespace atlasync::utf8
