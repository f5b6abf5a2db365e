#include "ui/text/page_layout.h"

#include <algorithm>
#include <cctype>

#include "service/core/text.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::ui {

using MapsService::to_narrow;

namespace {

// Control ids of the page templates' buttons.
constexpr std::uint32_t kDefaultButton = 1005;
constexpr std::uint32_t kCancelButton = 2;
constexpr std::uint32_t kRetryButton = 1015;

constexpr TextButton kContinue{kDefaultButton, 'o', SIG_NEXT, true};
constexpr TextButton kDownload{kDefaultButton, 'd', SIG_NEXT, true};
constexpr TextButton kExitDefault{kDefaultButton, 'x', SIG_NEXT, true};
constexpr TextButton kCancel{kCancelButton, 'c', SIG_CANCEL_REQUEST, false};
// "Exit" of the error-retry page is its cancel button.
constexpr TextButton kExitCancel{kCancelButton, 'x', SIG_CANCEL_REQUEST, false};
constexpr TextButton kTryAgain{kRetryButton, 't', SIG_RETRY, false};

const std::vector<TextPageLayout>& layouts() {
    static const std::vector<TextPageLayout> table = {
        {WizardPage::SelectLanguage, 129, {1002}, {}, {kContinue}},
        {WizardPage::SearchingForPhones, 140, {1002, 1014, 1022}, {}, {kCancel}},
        {WizardPage::SelectPhone, 142, {1002}, {}, {kContinue}},
        {WizardPage::ErrorRetry, 141, {}, {}, {kTryAgain, kExitCancel}},
        {WizardPage::ErrorExit, 145, {}, {}, {kExitDefault}},
        {WizardPage::CheckingForUpdates, 146, {1002}, {}, {kCancel}},
        {WizardPage::UpdateAvailable, 148, {}, {1022}, {kDownload, kCancel}},
        {WizardPage::Download, 139, {}, {}, {kCancel}},
        {WizardPage::Installing, 138, {}, {}, {kCancel}},
        {WizardPage::Complete, 143, {}, {1018}, {kExitDefault}},
        {WizardPage::Shutdown, 149, {1002, 1016}, {}, {}},
    };
    return table;
}

}  // namespace

const TextPageLayout& text_page_layout(WizardPage page) {
    const auto& table = layouts();
    const auto found = std::find_if(table.begin(), table.end(),
                                    [page](const TextPageLayout& l) { return l.page == page; });
    return found != table.end() ? *found : table.back();
}

std::wstring page_text(const TextPageLayout& layout, std::uint32_t controlId) {
    return text(dialog_text_id(layout.templateId, controlId));
}

std::string normalized_answer(const std::string& line) {
    const auto first = line.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = line.find_last_not_of(" \t\r\n");
    std::string answer = line.substr(first, last - first + 1);
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return answer;
}

std::optional<TextButton> button_for_input(const TextPageLayout& layout, const std::string& line) {
    const std::string answer = normalized_answer(line);
    for (const TextButton& button : layout.buttons) {
        const bool pressed =
            (answer.empty() && button.isDefault) ||
            (answer.size() == 1 && answer[0] == button.key) ||
            (!answer.empty() &&
             answer == normalized_answer(to_narrow(page_text(layout, button.controlId))));
        if (pressed) {
            return button;
        }
    }
    return std::nullopt;
}

std::string button_prompt(const TextPageLayout& layout) {
    std::string prompt;
    for (const TextButton& button : layout.buttons) {
        if (!prompt.empty()) {
            prompt += "   ";
        }
        prompt +=
            button.isDefault ? std::string("[Enter] ") : "[" + std::string(1, button.key) + "] ";
        prompt += to_narrow(page_text(layout, button.controlId));
    }
    return prompt;
}

}  // namespace atlasync::ui
