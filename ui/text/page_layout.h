#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/wizard/page_host.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {

// A page's button on the terminal: typed as its key, its whole label, or as an
// empty line when it is the page's default button.
struct TextButton {
    std::uint32_t controlId = 0;  // the button's control; its text id follows from it
    char key = 0;                 // lower-case letter typed for it
    std::uint16_t signal = 0;     // what pressing it tells the machine
    bool isDefault = false;       // an empty line presses it
};

// What the terminal shows of a page: its caption, its fixed labels (in the
// order of the window, before the texts the machine sets) and its buttons.
struct TextPageLayout {
    WizardPage page = WizardPage::Shutdown;
    std::uint32_t templateId = 0;
    std::vector<std::uint32_t> labels;  // control ids of fixed labels shown above the texts
    std::vector<std::uint32_t> notes;   // control ids of fixed labels shown below them
    std::vector<TextButton> buttons;
};

const TextPageLayout& text_page_layout(WizardPage page);

// The text of a control of the page's template, in the language in use.
std::wstring page_text(const TextPageLayout& layout, std::uint32_t controlId);

// The button a typed line stands for; none for anything else.
std::optional<TextButton> button_for_input(const TextPageLayout& layout, const std::string& line);

// "[Enter] Download   [c] Cancel"
std::string button_prompt(const TextPageLayout& layout);

// The line with blanks trimmed at both ends and letters in lower case.
std::string normalized_answer(const std::string& line);

}  // namespace atlasync::ui
