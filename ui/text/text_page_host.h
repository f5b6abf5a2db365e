#pragma once

#include <QEventLoop>
#include <QObject>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/text/page_layout.h"
#include "ui/text/terminal_output.h"
#include "ui/wizard/page_host.h"

namespace atlasync::ui {

// One language the language page offers.
struct LanguageEntry {
    std::uint32_t languageId = 0;
    std::wstring name;
};

// The wizard's pages on a terminal: each page printed with its header, its
// labels and the texts the machine sets, its buttons offered as keys, the
// phone list as a numbered choice, the download as a progress bar, and the
// machine's questions asked as yes/no. Lines typed by the user arrive through
// take_line(); Ctrl-C through take_interrupt(). Lives on the user-interface
// thread, which runs the Qt event loop.
class CTextPageHost : public PageHost {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Hands a button's signal to the machine; called from the event loop,
    // never from inside one of the machine's calls.
    using SignalSink = std::function<void(std::uint16_t signal)>;

    struct Options {
        // Accept every offered download and go on without asking.
        bool yes = false;
        // At least this long between two plain progress lines (not on a
        // terminal, where the line is redrawn in place instead).
        std::chrono::milliseconds plainProgressInterval{1000};
        // At least this long between two redraws of the bar on a terminal.
        std::chrono::milliseconds redrawInterval{100};
        Clock clock = [] { return std::chrono::steady_clock::now(); };
        // The terminal echoes what is typed; else answers are repeated after
        // their question so that the next line starts on a line of its own.
        bool inputEchoes = false;
    };

    CTextPageHost(TerminalOutput& out, Options options);
    ~CTextPageHost() override;
    CTextPageHost(const CTextPageHost&) = delete;
    CTextPageHost& operator=(const CTextPageHost&) = delete;

    void set_signal_sink(SignalSink sink) { m_sink = std::move(sink); }
    void set_languages(std::vector<LanguageEntry> languages) { m_languages = std::move(languages); }

    // A line the user typed, nullopt at the end of input: answers a pending
    // question or presses a button of the page shown. At the end of input
    // (unless --yes) the run is cancelled as the window's own cancel would.
    void take_line(std::optional<std::string> line);
    // Ctrl-C: the window's own cancel; "yes" to a pending cancel question.
    void take_interrupt();

    // The last final heading or error shown, as plain text: what the run came to.
    const std::string& last_result_text() const { return m_resultText; }
    bool ended() const { return m_ended; }
    int end_result() const { return m_endResult; }

    // PageHost
    void show_splash() override;
    void close_splash() override {}
    void open_main_window() override {}
    void show_page(WizardPage page, const std::wstring& header = {}) override;
    void repaint_now() override {}
    void set_heading(WizardPage page, const std::wstring& text) override;
    void set_description(WizardPage page, const std::wstring& text) override;
    void set_phone_text(const std::wstring& text) override;
    void set_installing_text(const std::wstring& text) override;
    void set_download_text(const std::wstring& text) override;
    void set_download_progress(double percent) override;
    void load_tutorial_picture(const std::filesystem::path&) override {}
    void set_phone_list(const std::vector<PhoneEntry>& phones) override;
    std::uint32_t selected_phone() const override;
    void preselect_language(std::uint32_t languageId) override;
    std::uint32_t chosen_language() const override { return m_chosenLanguage; }
    bool confirm_cancel() override;
    bool retry_after_other_instance() override;
    void report_start_failure(const std::string& reason) override;
    void end_run(int result) override;

private:
    enum class Question { None, ConfirmCancel, RetryOtherInstance };

    std::string plain(const std::wstring& markup) const;
    bool is_current(WizardPage page) const { return m_shown && m_page == page; }
    void print_text_of(WizardPage page, const std::wstring& text);
    void print_phone_list();
    void print_language_list();
    void print_prompt();
    void draw_progress(bool force);
    // Presses a button on the next turn of the event loop, while the page is
    // still the one it was pressed on.
    void press_later(std::uint16_t signal);
    void press(std::uint16_t signal);
    bool choose_numbered(const std::string& answer);
    // Asks a yes/no question and waits for it in the event loop.
    bool ask(Question question, const std::string& text, bool answerAtEnd);
    void answer(bool yes);

    TerminalOutput& m_out;
    Options m_options;
    SignalSink m_sink;
    QObject m_context;  // timers posted by this host die with it

    WizardPage m_page = WizardPage::Shutdown;
    bool m_shown = false;
    std::uint64_t m_pageSerial = 0;  // counts page changes
    std::map<WizardPage, std::wstring> m_headings;
    std::map<WizardPage, std::wstring> m_descriptions;
    std::wstring m_phoneText;
    std::wstring m_installingText;

    std::wstring m_downloadText;
    double m_percent = 0;
    std::string m_drawnProgress;  // what the bar showed last
    std::optional<std::chrono::steady_clock::time_point> m_lastDraw;

    std::vector<PhoneEntry> m_phones;
    std::uint32_t m_selectedPhone = 0;
    std::vector<LanguageEntry> m_languages;
    std::uint32_t m_chosenLanguage = 0;

    Question m_question = Question::None;
    std::optional<bool> m_answer;
    QEventLoop* m_questionLoop = nullptr;
    bool m_inputEnded = false;
    bool m_cancelSent = false;  // the end of input has cancelled once

    std::string m_resultText;
    bool m_ended = false;
    int m_endResult = -1;
};

}  // namespace atlasync::ui
