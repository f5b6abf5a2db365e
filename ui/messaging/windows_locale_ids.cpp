#include "ui/messaging/windows_locale_ids.h"

#include <string>

namespace atlasync::ui {

namespace {

struct Language {
    std::string_view code;
    std::uint32_t primary;
};

constexpr Language kLanguages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0a}, {"fi", 0x0b}, {"fr", 0x0c},
    {"he", 0x0d}, {"hu", 0x0e}, {"is", 0x0f}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18},
    {"ru", 0x19}, {"hr", 0x1a}, {"sk", 0x1b}, {"sq", 0x1c}, {"sv", 0x1d}, {"th", 0x1e},
    {"tr", 0x1f}, {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24},
    {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29}, {"vi", 0x2a}, {"hi", 0x39},
    {"ms", 0x3e},
};

// Regional variants other than the language's default (variant 1).
struct Region {
    std::string_view name;
    std::uint32_t variant;
};

constexpr Region kRegions[] = {
    {"en_GB", 2}, {"en_AU", 3}, {"en_CA", 4}, {"en_NZ", 5}, {"en_IE", 6}, {"en_ZA", 7},
    {"de_CH", 2}, {"de_AT", 3}, {"de_LU", 4}, {"fr_BE", 2}, {"fr_CA", 3}, {"fr_CH", 4},
    {"fr_LU", 5}, {"es_MX", 2}, {"es_ES", 3}, {"it_CH", 2}, {"nl_BE", 2}, {"pt_PT", 2},
    {"sv_FI", 2}, {"zh_CN", 2}, {"zh_HK", 3}, {"zh_SG", 4}, {"nn_NO", 2},
};

}  // namespace

std::uint32_t windows_locale_id(std::string_view localeName) {
    const auto end = localeName.find_first_of(".@");
    std::string name(localeName.substr(0, end));
    for (char& c : name) {
        if (c == '-') {
            c = '_';
        }
    }
    const std::string_view language = std::string_view(name).substr(0, name.find('_'));
    std::uint32_t primary = language == "nn" ? 0x14 : 0;
    for (const auto& l : kLanguages) {
        if (l.code == language) {
            primary = l.primary;
        }
    }
    if (primary == 0) {
        return 0;
    }
    std::uint32_t variant = 1;
    for (const auto& r : kRegions) {
        if (r.name == name) {
            variant = r.variant;
        }
    }
    return variant << 10 | primary;
}

std::string posix_locale_name(std::uint32_t languageId) {
    for (const auto& r : kRegions) {
        if (windows_locale_id(r.name) == languageId) {
            return std::string(r.name);
        }
    }
    for (const auto& l : kLanguages) {
        if (l.primary == primary_language(languageId)) {
            return std::string(l.code);
        }
    }
    return {};
}

}  // namespace atlasync::ui
