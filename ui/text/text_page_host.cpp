#include "ui/text/text_page_host.h"

#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "service/core/text.h"
#include "ui/text/markup_text.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::ui {

using MapsService::to_narrow;

namespace {

constexpr std::uint32_t kHeadingControl = 1002;
constexpr std::uint32_t kCaptionControl = 0;
constexpr std::uint32_t kConfirmTemplate = 147;
constexpr std::uint32_t kConfirmText = 1019;
constexpr int kBarWidth = 30;

// Line ends and runs of blanks become single blanks: a text for one line.
std::string one_line(const std::string& text) {
    std::string flat;
    for (char c : text) {
        const char blank = (c == '\n' || c == '\t') ? ' ' : c;
        if (blank == ' ' && (flat.empty() || flat.back() == ' ')) {
            continue;
        }
        flat.push_back(blank);
    }
    while (!flat.empty() && flat.back() == ' ') {
        flat.pop_back();
    }
    return flat;
}

bool has_heading(WizardPage page) {
    return page == WizardPage::ErrorRetry || page == WizardPage::ErrorExit ||
           page == WizardPage::UpdateAvailable || page == WizardPage::Complete;
}

bool is_error(WizardPage page) {
    return page == WizardPage::ErrorRetry || page == WizardPage::ErrorExit;
}

}  // namespace

CTextPageHost::CTextPageHost(TerminalOutput& out, Options options)
    : m_out(out), m_options(std::move(options)) {}

CTextPageHost::~CTextPageHost() {
    if (m_questionLoop != nullptr) {
        m_questionLoop->quit();
    }
}

std::string CTextPageHost::plain(const std::wstring& markup) const {
    return markup_to_terminal(markup, m_out.kind().ansi);
}

void CTextPageHost::show_splash() {
    m_out.line(m_out.bold("Atlasync") + "  " + plain(text(kTextSplashLine)));
}

void CTextPageHost::show_page(WizardPage page, const std::wstring& header) {
    // The bar's last state, even when it came too soon to be drawn; a bar
    // cleared for the page to start again has nothing to tell.
    if (is_current(WizardPage::Download) && (!m_downloadText.empty() || m_percent > 0)) {
        draw_progress(true);
    }
    m_out.end_status();
    m_page = page;
    m_shown = true;
    ++m_pageSerial;
    m_drawnProgress.clear();
    m_lastDraw.reset();

    const TextPageLayout& layout = text_page_layout(page);
    const std::wstring caption = header.empty() ? page_text(layout, kCaptionControl) : header;
    m_out.line("");
    m_out.line(m_out.bold("== " + one_line(plain(caption)) + " =="));
    for (std::uint32_t control : layout.labels) {
        m_out.line(plain(page_text(layout, control)));
    }
    if (has_heading(page)) {
        std::wstring heading = m_headings[page];
        if (heading.empty() && page == WizardPage::Complete) {
            heading = page_text(layout, kHeadingControl);
        }
        if (!heading.empty()) {
            m_out.line(m_out.bold(plain(heading)));
        }
        if (!m_descriptions[page].empty()) {
            m_out.line(plain(m_descriptions[page]));
        }
        if (page == WizardPage::Complete) {
            m_resultText = one_line(markup_to_terminal(heading, false));
        } else if (is_error(page)) {
            m_resultText = one_line(markup_to_terminal(heading, false)) + " " +
                           one_line(markup_to_terminal(m_descriptions[page], false));
        }
    }
    switch (page) {
        case WizardPage::CheckingForUpdates:
            print_text_of(page, m_phoneText);
            break;
        case WizardPage::Installing:
            print_text_of(page, m_installingText);
            break;
        case WizardPage::SelectPhone:
            print_phone_list();
            break;
        case WizardPage::SelectLanguage:
            print_language_list();
            break;
        default:
            break;
    }
    for (std::uint32_t control : layout.notes) {
        m_out.line(plain(page_text(layout, control)));
    }
    print_prompt();
    if (page == WizardPage::Download) {
        draw_progress(true);
    }

    // Pages whose only way on is the default button, and the answers --yes gives.
    const auto defaultButton =
        std::find_if(layout.buttons.begin(), layout.buttons.end(),
                     [](const TextButton& button) { return button.isDefault; });
    if (m_options.yes) {
        if (defaultButton != layout.buttons.end()) {
            m_out.line("--yes: " + to_narrow(page_text(layout, defaultButton->controlId)));
            press_later(defaultButton->signal);
        } else if (page == WizardPage::ErrorRetry) {
            // Automation must not wait for a retry nobody will ask for.
            const TextButton& exit = layout.buttons.back();
            m_out.line("--yes: " + to_narrow(page_text(layout, exit.controlId)));
            press_later(exit.signal);
        }
    } else if (m_inputEnded && layout.buttons.size() == 1 &&
               defaultButton != layout.buttons.end()) {
        press_later(defaultButton->signal);
    }
}

void CTextPageHost::print_text_of(WizardPage page, const std::wstring& markup) {
    if (is_current(page) && m_question == Question::None && !markup.empty()) {
        m_out.line(plain(markup));
    }
}

void CTextPageHost::set_heading(WizardPage page, const std::wstring& text) {
    m_headings[page] = text;
    if (is_current(page) && m_question == Question::None) {
        m_out.line(m_out.bold(plain(text)));
    }
}

void CTextPageHost::set_description(WizardPage page, const std::wstring& text) {
    m_descriptions[page] = text;
    print_text_of(page, text);
}

void CTextPageHost::set_phone_text(const std::wstring& text) {
    m_phoneText = text;
    print_text_of(WizardPage::CheckingForUpdates, text);
}

void CTextPageHost::set_installing_text(const std::wstring& text) {
    if (text == m_installingText) {
        return;
    }
    m_installingText = text;
    print_text_of(WizardPage::Installing, text);
}

void CTextPageHost::set_download_text(const std::wstring& text) {
    if (text == m_downloadText) {
        return;
    }
    if (text.empty() && is_current(WizardPage::Download)) {
        // The page starts again for the next transfer: what the last one
        // ended on is shown before it is cleared.
        draw_progress(true);
    }
    m_downloadText = text;
    if (is_current(WizardPage::Download)) {
        draw_progress(m_out.kind().tty);
    }
}

void CTextPageHost::set_download_progress(double percent) {
    m_percent = std::clamp(std::isfinite(percent) ? percent : 0.0, 0.0, 100.0);
    if (is_current(WizardPage::Download)) {
        draw_progress(false);
    }
}

void CTextPageHost::draw_progress(bool force) {
    if (m_question != Question::None) {
        return;  // the question keeps its line
    }
    const int filled = static_cast<int>(std::lround(m_percent * kBarWidth / 100.0));
    char percent[16];
    std::snprintf(percent, sizeof percent, "%3.0f%%", std::floor(m_percent));
    std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "] " +
                      percent;
    const std::string text = one_line(plain(m_downloadText));
    if (!text.empty()) {
        bar += "  " + text;
    }
    if (bar == m_drawnProgress) {
        return;
    }
    const auto now = m_options.clock();
    const auto interval =
        m_out.kind().tty ? m_options.redrawInterval : m_options.plainProgressInterval;
    if (!force && m_lastDraw && now - *m_lastDraw < interval) {
        return;
    }
    m_out.status(bar);
    m_drawnProgress = bar;
    m_lastDraw = now;
}

void CTextPageHost::set_phone_list(const std::vector<PhoneEntry>& phones) {
    const bool changed = phones.size() != m_phones.size() ||
                         !std::equal(phones.begin(), phones.end(), m_phones.begin(),
                                     [](const PhoneEntry& a, const PhoneEntry& b) {
                                         return a.phoneId == b.phoneId && a.name == b.name;
                                     });
    m_phones = phones;
    const bool stillListed = std::any_of(phones.begin(), phones.end(), [this](const PhoneEntry& e) {
        return e.phoneId == m_selectedPhone;
    });
    if (!stillListed) {
        m_selectedPhone = phones.empty() ? 0 : phones.front().phoneId;
    }
    if (changed && is_current(WizardPage::SelectPhone) && m_question == Question::None) {
        print_phone_list();
        print_prompt();
    }
}

std::uint32_t CTextPageHost::selected_phone() const {
    return m_selectedPhone;
}

void CTextPageHost::print_phone_list() {
    for (std::size_t i = 0; i < m_phones.size(); ++i) {
        const bool selected = m_phones[i].phoneId == m_selectedPhone;
        m_out.line((selected ? " *" : "  ") + std::to_string(i + 1) + ") " +
                   to_narrow(m_phones[i].name));
    }
}

void CTextPageHost::preselect_language(std::uint32_t languageId) {
    m_chosenLanguage = languageId;
}

void CTextPageHost::print_language_list() {
    for (std::size_t i = 0; i < m_languages.size(); ++i) {
        const bool selected = m_languages[i].languageId == m_chosenLanguage;
        m_out.line((selected ? " *" : "  ") + std::to_string(i + 1) + ") " +
                   to_narrow(m_languages[i].name));
    }
}

void CTextPageHost::print_prompt() {
    const TextPageLayout& layout = text_page_layout(m_page);
    std::string prompt = button_prompt(layout);
    const bool numbered = (m_page == WizardPage::SelectPhone && !m_phones.empty()) ||
                          (m_page == WizardPage::SelectLanguage && !m_languages.empty());
    if (numbered) {
        prompt = "[1-" +
                 std::to_string(m_page == WizardPage::SelectPhone ? m_phones.size()
                                                                  : m_languages.size()) +
                 "] choose   " + prompt;
    }
    if (!prompt.empty()) {
        m_out.line(prompt + (layout.buttons.empty() ? "" : "   (Ctrl-C cancels)"));
    }
}

bool CTextPageHost::choose_numbered(const std::string& answer) {
    if (answer.empty() || answer.size() > 4 ||
        !std::all_of(answer.begin(), answer.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const std::size_t index = std::stoul(answer);
    if (m_page == WizardPage::SelectPhone && index >= 1 && index <= m_phones.size()) {
        m_selectedPhone = m_phones[index - 1].phoneId;
        return true;
    }
    if (m_page == WizardPage::SelectLanguage && index >= 1 && index <= m_languages.size()) {
        m_chosenLanguage = m_languages[index - 1].languageId;
        return true;
    }
    return false;
}

void CTextPageHost::press_later(std::uint16_t signal) {
    const std::uint64_t serial = m_pageSerial;
    QTimer::singleShot(0, &m_context, [this, serial, signal] {
        if (serial == m_pageSerial) {
            press(signal);
        }
    });
}

void CTextPageHost::press(std::uint16_t signal) {
    if (m_sink) {
        m_sink(signal);
    }
}

void CTextPageHost::take_line(std::optional<std::string> line) {
    if (!line) {
        m_inputEnded = true;
        if (m_question == Question::ConfirmCancel) {
            m_out.line("yes (end of input)");
            answer(true);
        } else if (m_question == Question::RetryOtherInstance) {
            m_out.line("no (end of input)");
            answer(false);
        } else if (!m_options.yes && !m_ended) {
            const TextPageLayout& layout = text_page_layout(m_page);
            if (m_shown && layout.buttons.size() == 1 && layout.buttons.front().isDefault) {
                press(layout.buttons.front().signal);
            } else if (!m_cancelSent) {
                m_cancelSent = true;
                m_out.line("End of input: cancelling.");
                press(SIG_CANCEL_REQUEST);
            }
        }
        return;
    }
    const std::string answerText = normalized_answer(*line);
    if (m_question != Question::None) {
        if (!m_options.inputEchoes) {
            m_out.line(answerText);
        }
        if (answerText == "y" || answerText == "yes") {
            answer(true);
        } else if (answerText.empty() || answerText == "n" || answerText == "no") {
            answer(false);
        } else {
            m_out.prompt("Please answer y or n: ");
        }
        return;
    }
    if (!m_shown) {
        // The splash: the language page can be asked for, or the run cancelled.
        if (answerText == "l") {
            press(SIG_LANGUAGE_REQUEST);
        } else if (answerText == "c") {
            press(SIG_CANCEL_REQUEST);
        }
        return;
    }
    if (choose_numbered(answerText)) {
        press(SIG_NEXT);
        return;
    }
    const TextPageLayout& layout = text_page_layout(m_page);
    if (const auto button = button_for_input(layout, *line)) {
        press(button->signal);
        return;
    }
    if (!answerText.empty() && !layout.buttons.empty()) {
        m_out.line("\"" + answerText + "\" is not one of: " + button_prompt(layout));
    }
}

void CTextPageHost::take_interrupt() {
    if (m_question == Question::ConfirmCancel) {
        m_out.line("yes");
        answer(true);
        return;
    }
    if (m_question == Question::RetryOtherInstance) {
        m_out.line("no");
        answer(false);
        return;
    }
    m_out.line("Cancel requested.");
    press(SIG_CANCEL_REQUEST);
}

bool CTextPageHost::ask(Question question, const std::string& questionText, bool answerAtEnd) {
    if (m_inputEnded) {
        m_out.line(questionText + (answerAtEnd ? "yes" : "no") + " (end of input)");
        return answerAtEnd;
    }
    m_question = question;
    m_answer.reset();
    m_out.prompt(questionText);
    QEventLoop loop;
    m_questionLoop = &loop;
    while (!m_answer) {
        loop.exec();
    }
    m_questionLoop = nullptr;
    m_question = Question::None;
    if (is_current(WizardPage::Download)) {
        m_drawnProgress.clear();
        draw_progress(true);
    }
    return *m_answer;
}

void CTextPageHost::answer(bool yes) {
    m_answer = yes;
    if (m_questionLoop != nullptr) {
        m_questionLoop->quit();
    }
}

bool CTextPageHost::confirm_cancel() {
    const std::string question =
        one_line(plain(text(dialog_text_id(kConfirmTemplate, kConfirmText)))) + " [y/N] ";
    if (m_options.yes) {
        m_out.line(question + "yes (--yes)");
        return true;
    }
    return ask(Question::ConfirmCancel, question, true);
}

bool CTextPageHost::retry_after_other_instance() {
    const std::string question = one_line(plain(text(kTextAnotherInstance))) + " Try again? [y/N] ";
    if (m_options.yes) {
        m_out.line(question + "no (--yes)");
        return false;
    }
    return ask(Question::RetryOtherInstance, question, false);
}

void CTextPageHost::report_start_failure(const std::string& reason) {
    m_out.line("Atlasync cannot start: " + reason);
}

void CTextPageHost::end_run(int result) {
    m_out.end_status();
    m_ended = true;
    m_endResult = result;
}

}  // namespace atlasync::ui
