// The language modules the program ships: each one complete, and true to the
// built-in English texts in everything but the words.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "ui/wizard/language_module.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {
namespace {

struct ShippedModule {
    const char* language;
    const char* file;
    std::uint32_t id;
};

void PrintTo(const ShippedModule& module, std::ostream* out) {
    *out << module.file;
}

constexpr ShippedModule kShippedModules[] = {
    {"German", "Atlasync0407.lang", 0x0407},
    {"French", "Atlasync040c.lang", 0x040c},
    {"Spanish", "Atlasync0c0a.lang", 0x0c0a},
};

// "%1" to "%9", sorted: a translation may move them.
std::vector<std::wstring> placeholders(const std::wstring& text) {
    std::vector<std::wstring> found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'%' && text[i + 1] >= L'1' && text[i + 1] <= L'9') {
            found.push_back(text.substr(i, 2));
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The mark-up, in order: a translation may not move it.
std::vector<std::wstring> tags(const std::wstring& text) {
    std::vector<std::wstring> found;
    for (std::size_t open = text.find(L'<'); open != std::wstring::npos;
         open = text.find(L'<', open + 1)) {
        found.push_back(text.substr(open, text.find(L'>', open) + 1 - open));
    }
    return found;
}

// The estimated time is appended to the download text: its leading space stays.
std::pair<bool, bool> edge_spaces(const std::wstring& text) {
    return {text.starts_with(L' '), text.ends_with(L' ')};
}

std::vector<TextId> minus(const std::vector<TextId>& a, const std::vector<TextId>& b) {
    std::vector<TextId> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

class ShippedLanguageModule : public ::testing::TestWithParam<ShippedModule> {
protected:
    std::string where(TextId id) const {
        return std::string(GetParam().file) + " id " + std::to_string(id);
    }

    const LanguageModule module = LanguageModule::load(
        std::filesystem::path(ATLASYNC_LANGUAGES_DIR) / GetParam().file, GetParam().id);
};

TEST_P(ShippedLanguageModule, ParsesWithoutASkippedLine) {
    EXPECT_EQ(module.skipped_lines(), std::vector<int>{})
        << GetParam().file << " has lines that are not \"id=text\"";
}

TEST_P(ShippedLanguageModule, HasATextForEveryBuiltInIdAndForNoOther) {
    const std::vector<TextId> builtin = builtin_text_ids();
    EXPECT_EQ(minus(builtin, module.ids()), std::vector<TextId>{})
        << GetParam().file << " lacks these ids";
    EXPECT_EQ(minus(module.ids(), builtin), std::vector<TextId>{})
        << GetParam().file << " has ids that are not built in";
    for (const TextId id : module.ids()) {
        EXPECT_FALSE(module.find(id)->empty()) << where(id);
    }
}

TEST_P(ShippedLanguageModule, KeepsThePlaceholdersMarkUpAndLineBreaksOfTheEnglishText) {
    for (const TextId id : builtin_text_ids()) {
        const std::wstring* translated = module.find(id);
        if (translated == nullptr) {
            continue;  // reported as a missing id
        }
        const std::wstring english = builtin_text(id);
        EXPECT_EQ(placeholders(*translated), placeholders(english)) << where(id);
        EXPECT_EQ(tags(*translated), tags(english)) << where(id);
        EXPECT_EQ(std::count(translated->begin(), translated->end(), L'\n'),
                  std::count(english.begin(), english.end(), L'\n'))
            << where(id);
        EXPECT_EQ(edge_spaces(*translated), edge_spaces(english)) << where(id);
    }
}

// The pages' buttons are sized for the English words.
TEST_P(ShippedLanguageModule, ButtonTextsStayShort) {
    constexpr std::uint32_t kButtonControls[] = {2, 1005, 1015, 1020, 1021};
    for (const TextId id : module.ids()) {
        if (id >= 10000 && std::ranges::count(kButtonControls, id % 10000) != 0) {
            EXPECT_LE(module.find(id)->size(), 16u) << where(id);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedLanguageModule, ::testing::ValuesIn(kShippedModules),
                         [](const auto& shipped) { return std::string(shipped.param.language); });

}  // namespace
}  // namespace atlasync::ui
