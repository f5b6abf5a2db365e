#include "tests/ui/recording_host.h"

#include <algorithm>

#include "service/core/text.h"

namespace atlasync::testing {

using ui::WizardPage;

void RecordingHost::record(std::string name, WizardPage page, std::wstring text, double value) {
    m_calls.push_back({std::move(name), page, std::move(text), value, clock()});
}

void RecordingHost::show_page(WizardPage page, const std::wstring& header) {
    record("show_page", page, header);
    m_current = page;
    if (onPage) {
        onPage(page);
    }
}

void RecordingHost::set_heading(WizardPage page, const std::wstring& text) {
    record("set_heading", page, text);
    m_headings[page] = text;
}

void RecordingHost::set_description(WizardPage page, const std::wstring& text) {
    record("set_description", page, text);
    m_descriptions[page] = text;
}

void RecordingHost::set_phone_text(const std::wstring& text) {
    record("set_phone_text", WizardPage::CheckingForUpdates, text);
}

void RecordingHost::set_installing_text(const std::wstring& text) {
    record("set_installing_text", WizardPage::Installing, text);
}

void RecordingHost::set_download_text(const std::wstring& text) {
    record("set_download_text", WizardPage::Download, text);
}

void RecordingHost::set_download_progress(double percent) {
    record("set_download_progress", WizardPage::Download, {}, percent);
}

void RecordingHost::load_tutorial_picture(const std::filesystem::path& path) {
    record("load_tutorial_picture", WizardPage::Download, path.wstring());
}

void RecordingHost::set_phone_list(const std::vector<ui::PhoneEntry>& phones) {
    std::wstring names;
    for (const ui::PhoneEntry& phone : phones) {
        names += phone.name + L";";
    }
    record("set_phone_list", WizardPage::SelectPhone, names, static_cast<double>(phones.size()));
    m_phones = phones;
}

std::uint32_t RecordingHost::selected_phone() const {
    return phoneChoice < m_phones.size() ? m_phones[phoneChoice].phoneId : 0;
}

void RecordingHost::preselect_language(std::uint32_t languageId) {
    record("preselect_language", WizardPage::SelectLanguage, {}, languageId);
}

bool RecordingHost::confirm_cancel() {
    ++m_confirmations;
    record("confirm_cancel", m_current, {}, confirmAnswer ? 1 : 0);
    return confirmAnswer;
}

bool RecordingHost::retry_after_other_instance() {
    record("retry_after_other_instance");
    if (onOtherInstance) {
        onOtherInstance();
    }
    if (otherInstanceRetries <= 0) {
        return false;
    }
    --otherInstanceRetries;
    return true;
}

void RecordingHost::report_start_failure(const std::string& reason) {
    record("report_start_failure", m_current, MapsService::to_wide(reason));
}

void RecordingHost::end_run(int result) {
    record("end_run", m_current, {}, result);
    m_endResult = result;
}

std::vector<WizardPage> RecordingHost::pages() const {
    std::vector<WizardPage> result;
    for (const Call& call : m_calls) {
        if (call.name == "show_page") {
            result.push_back(call.page);
        }
    }
    return result;
}

std::vector<RecordingHost::Call> RecordingHost::calls_named(const std::string& name) const {
    std::vector<Call> result;
    std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(result),
                 [&](const Call& call) { return call.name == name; });
    return result;
}

bool RecordingHost::was_shown(WizardPage page) const {
    const auto shown = pages();
    return std::find(shown.begin(), shown.end(), page) != shown.end();
}

std::wstring RecordingHost::heading(WizardPage page) const {
    const auto found = m_headings.find(page);
    return found != m_headings.end() ? found->second : std::wstring();
}

std::wstring RecordingHost::description(WizardPage page) const {
    const auto found = m_descriptions.find(page);
    return found != m_descriptions.end() ? found->second : std::wstring();
}

std::string RecordingHost::describe() const {
    std::string result;
    for (const Call& call : m_calls) {
        result += call.name + " page " + std::to_string(static_cast<int>(call.page)) + " '" +
                  MapsService::to_narrow(call.text) + "' " + std::to_string(call.value) + "\n";
    }
    return result;
}

}  // namespace atlasync::testing
