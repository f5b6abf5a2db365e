#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace atlasync::ui {

// The wizard's pages. The front ends decide how a page looks; the state machine
// decides which one is shown and what it says.
enum class WizardPage {
    SelectLanguage,      // "Welcome to Atlasync"
    SearchingForPhones,  // "Get Connected"
    SelectPhone,         // "Get Connected"
    ErrorRetry,          // "Error": "Try Again" and "Exit"
    ErrorExit,           // "Error": "Exit"
    CheckingForUpdates,  // "Checking for Updates"
    UpdateAvailable,     // "New updates available"
    Download,            // "Download"
    Installing,          // "Installing"
    Complete,            // "Complete"
    Shutdown,            // "Shutdown"
};

// One entry of the phone list.
struct PhoneEntry {
    std::uint32_t phoneId = 0;
    std::wstring name;
};

// What the state machine asks of the window that hosts its pages. Every call
// happens on the user-interface thread. Texts are the wizard's mark-up (font,
// bold and line-break tags). A text set on a page that is not shown is kept and
// displayed when the page is next shown.
class PageHost {
public:
    virtual ~PageHost() = default;

    // The splash shown while the machine starts and the service initialises.
    virtual void show_splash() = 0;
    virtual void close_splash() = 0;
    // The splash is over: the main window opens. The machine dispatches
    // SIG_MAIN_DIALOG_READY once this returns.
    virtual void open_main_window() = 0;

    // Replaces the current page; an empty header shows the page's own caption.
    virtual void show_page(WizardPage page, const std::wstring& header = {}) = 0;
    // Paints the current page at once; the machine blocks right after.
    virtual void repaint_now() = 0;

    // Heading and description of the error pages, the update page and the
    // final page.
    virtual void set_heading(WizardPage page, const std::wstring& text) = 0;
    virtual void set_description(WizardPage page, const std::wstring& text) = 0;
    // The checking page's phone text.
    virtual void set_phone_text(const std::wstring& text) = 0;
    // The installing page's text.
    virtual void set_installing_text(const std::wstring& text) = 0;
    // The download page's text, composed by the machine; a host redraws only
    // when it differs from what is shown.
    virtual void set_download_text(const std::wstring& text) = 0;
    // The download page's bar, 0 to 100 percent.
    virtual void set_download_progress(double percent) = 0;
    // Loads the animation that the download and installing pages play.
    virtual void load_tutorial_picture(const std::filesystem::path& path) = 0;

    // The phone page's list: one entry per phone in the order given. The entry
    // selected before stays selected while it is listed, else the first is.
    virtual void set_phone_list(const std::vector<PhoneEntry>& phones) = 0;
    // The phone id of the selected entry, 0 when none is selected.
    virtual std::uint32_t selected_phone() const = 0;

    // The language page: the language selected when it is shown, and the one
    // the user chose (read after SIG_NEXT).
    virtual void preselect_language(std::uint32_t languageId) = 0;
    virtual std::uint32_t chosen_language() const = 0;

    // Asks modally whether to stop; true when the user confirmed.
    virtual bool confirm_cancel() = 0;
    // Another instance holds the single-instance guard: asks modally whether to
    // try again (true) or give up (false).
    virtual bool retry_after_other_instance() = 0;
    // The run cannot start: the single-instance guard could not be made (the
    // reason, one line, untranslated, as the system gave it). The run then
    // ends with 1 and shows nothing else.
    virtual void report_start_failure(const std::string& reason) = 0;

    // The run is over; the main window closes. result: 2 when cancelled or
    // exited from a page, as the modal run reports it.
    virtual void end_run(int result) = 0;
};

}  // namespace atlasync::ui
