#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/wizard/page_host.h"

namespace atlasync::testing {

// A page host that records every call in order and answers the machine's
// questions the way a test set it up.
class RecordingHost : public ui::PageHost {
public:
    struct Call {
        std::string name;  // the method
        ui::WizardPage page = ui::WizardPage::Shutdown;
        std::wstring text;
        double value = 0;
        std::chrono::steady_clock::time_point when;  // read from `clock`
    };

    // Stamps each call; a test may give the machine's own stepped clock.
    std::function<std::chrono::steady_clock::time_point()> clock = [] {
        return std::chrono::steady_clock::now();
    };

    void show_splash() override { record("show_splash"); }
    void close_splash() override { record("close_splash"); }
    void open_main_window() override { record("open_main_window"); }
    void show_page(ui::WizardPage page, const std::wstring& header) override;
    void repaint_now() override { record("repaint_now"); }
    void set_heading(ui::WizardPage page, const std::wstring& text) override;
    void set_description(ui::WizardPage page, const std::wstring& text) override;
    void set_phone_text(const std::wstring& text) override;
    void set_installing_text(const std::wstring& text) override;
    void set_download_text(const std::wstring& text) override;
    void set_download_progress(double percent) override;
    void load_tutorial_picture(const std::filesystem::path& path) override;
    void set_phone_list(const std::vector<ui::PhoneEntry>& phones) override;
    std::uint32_t selected_phone() const override;
    void preselect_language(std::uint32_t languageId) override;
    std::uint32_t chosen_language() const override { return chosenLanguage; }
    bool confirm_cancel() override;
    bool retry_after_other_instance() override;
    void report_start_failure(const std::string& reason) override;
    void end_run(int result) override;

    // Answers and choices, set by the test.
    bool confirmAnswer = false;
    std::size_t phoneChoice = 0;  // index into the last phone list
    std::uint32_t chosenLanguage = 0;
    int otherInstanceRetries = 0;  // how often to answer "retry"
    // Called when the host is asked whether to retry the single-instance guard.
    std::function<void()> onOtherInstance;
    // Called after every page change, for scripted runs.
    std::function<void(ui::WizardPage)> onPage;

    const std::vector<Call>& calls() const { return m_calls; }
    std::vector<ui::WizardPage> pages() const;
    std::vector<Call> calls_named(const std::string& name) const;
    bool was_shown(ui::WizardPage page) const;
    // The page shown last; Shutdown before any.
    ui::WizardPage current_page() const { return m_current; }
    std::size_t page_count() const { return pages().size(); }
    std::wstring heading(ui::WizardPage page) const;
    std::wstring description(ui::WizardPage page) const;
    const std::vector<ui::PhoneEntry>& phone_list() const { return m_phones; }
    int confirmations() const { return m_confirmations; }
    int end_result() const { return m_endResult; }
    // Every call in order, one line each, for failure messages.
    std::string describe() const;

private:
    void record(std::string name, ui::WizardPage page = ui::WizardPage::Shutdown,
                std::wstring text = {}, double value = 0);

    std::vector<Call> m_calls;
    ui::WizardPage m_current = ui::WizardPage::Shutdown;
    std::map<ui::WizardPage, std::wstring> m_headings;
    std::map<ui::WizardPage, std::wstring> m_descriptions;
    std::vector<ui::PhoneEntry> m_phones;
    int m_confirmations = 0;
    int m_endResult = -1;
};

}  // namespace atlasync::testing
