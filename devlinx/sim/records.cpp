#include "devlinx/sim/records.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace devlinx::sim {

wchar_t* copy_text(const std::wstring& text) {
    auto* copy = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    if (copy == nullptr) {
        throw std::bad_alloc();
    }
    std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return copy;
}

void free_text(wchar_t* text) {
    std::free(text);
}

}  // namespace devlinx::sim
