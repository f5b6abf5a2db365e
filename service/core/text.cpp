#include "service/core/text.h"

#include <algorithm>
#include <cwctype>

namespace MapsService {

bool same_on_a_card(std::string_view a, std::string_view b) {
    const std::wstring wideA = to_wide(a);
    const std::wstring wideB = to_wide(b);
    return wideA.size() == wideB.size() &&
           std::equal(wideA.begin(), wideA.end(), wideB.begin(), [](wchar_t x, wchar_t y) {
               return std::towupper(static_cast<wint_t>(x)) ==
                      std::towupper(static_cast<wint_t>(y));
           });
}

std::string ascii_lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace MapsService
