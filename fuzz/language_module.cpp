// Language modules are files anyone can drop beside the program: parsing one
// must never fail hard, and its texts must survive formatting.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ui/wizard/language_module.h"
#include "ui/wizard/string_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const auto module = atlasync::ui::LanguageModule::parse(content);
    for (const atlasync::ui::TextId id : {0u, 1u, 120u, 122u, 135u, 1290000u, 4294967295u}) {
        if (const std::wstring* text = module.find(id)) {
            const std::wstring formatted = atlasync::ui::format_text(*text, {L"13", L"%1", L"x"});
            if (formatted.size() < text->size() / 2) {
                __builtin_trap();  // placeholders are replaced, never dropped
            }
        }
    }
    return 0;
}
