#include "ui/wizard/plural_forms.h"

#include <iterator>

namespace atlasync::ui {

namespace {

enum class OneForm {
    OneAlone,
    ZeroAndOne,
};

struct PluralRule {
    std::uint32_t primaryLanguage;  // the low 10 bits of a language id
    OneForm oneForm;
};

// The languages whose form for one is not for 1 alone.
constexpr PluralRule kPluralRules[] = {
    {0x0c, OneForm::ZeroAndOne},  // French
};

OneForm one_form_of(std::uint32_t languageId) {
    for (const PluralRule& rule : kPluralRules) {
        if (rule.primaryLanguage == (languageId & 0x3FF)) {
            return rule.oneForm;
        }
    }
    return OneForm::OneAlone;
}

}  // namespace

bool takes_one_form(std::uint32_t languageId, std::uint64_t count) {
    switch (one_form_of(languageId)) {
        case OneForm::ZeroAndOne:
            return count <= 1;
        case OneForm::OneAlone:
            break;
    }
    return count == 1;
}

}  // namespace atlasync::ui
