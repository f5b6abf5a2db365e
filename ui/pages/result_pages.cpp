// The pages with a heading and a description, and the shutdown page.

#include <QVBoxLayout>

#include "ui/controls/bundled_fonts.h"
#include "ui/controls/markup_label.h"
#include "ui/pages/pages.h"

namespace atlasync::ui {

namespace {

constexpr std::uint32_t kIdCompleteNote = 1018;
constexpr std::uint32_t kIdUpdateNote = 1022;

}  // namespace

CTextPage::CTextPage(WizardPage kind, std::uint32_t templateId, PageSignals& sink,
                     std::uint32_t descriptionId, int headingPixels, int descriptionPixels)
    : CWizPage(kind, templateId, sink),
      m_descriptionId(descriptionId),
      m_headingPixels(headingPixels),
      m_descriptionPixels(descriptionPixels) {}

std::wstring CTextPage::heading() const {
    return m_heading.empty() ? control_text(kIdHeading) : m_heading;
}

std::wstring CTextPage::description() const {
    return m_description.empty() ? control_text(m_descriptionId) : m_description;
}

void CTextPage::set_heading(const std::wstring& text) {
    keep_markup(m_heading, text, kIdHeading);
}

void CTextPage::set_description(const std::wstring& text) {
    keep_markup(m_description, text, m_descriptionId);
}

void CTextPage::build(QWidget& window, QVBoxLayout& content) {
    add_markup(content, kIdHeading, m_headingPixels, heading());
    add_markup(content, m_descriptionId, m_descriptionPixels, description());
    build_more(window, content);
}

CErrorRetryPage::CErrorRetryPage(PageSignals& sink)
    : CTextPage(WizardPage::ErrorRetry, 141, sink, kIdDescription, kHeadingPixels,
                kDescriptionPixels) {}

void CErrorRetryPage::build_more(QWidget& window, QVBoxLayout&) {
    add_button(window, kIdCancel);
    add_button(window, kIdRetry);
}

CErrorExitPage::CErrorExitPage(PageSignals& sink)
    : CTextPage(WizardPage::ErrorExit, 145, sink, kIdDescription, kHeadingPixels,
                kDescriptionPixels) {}

void CErrorExitPage::build_more(QWidget& window, QVBoxLayout&) {
    add_button(window, kIdNext);
}

CUpdateAvailablePage::CUpdateAvailablePage(PageSignals& sink)
    : CTextPage(WizardPage::UpdateAvailable, 148, sink, kIdDescription, kHeadingPixels,
                kTextPixels) {}

void CUpdateAvailablePage::build_more(QWidget& window, QVBoxLayout& content) {
    content.addSpacing(6);
    add_markup(content, kIdUpdateNote, kTextPixels);
    add_button(window, kIdCancel);
    add_button(window, kIdNext);
}

CCompletePage::CCompletePage(PageSignals& sink)
    : CTextPage(WizardPage::Complete, 143, sink, kIdCompleteNote, kHeadingPixels,
                kDescriptionPixels) {}

void CCompletePage::build_more(QWidget& window, QVBoxLayout&) {
    add_button(window, kIdNext);
}

CShutdownPage::CShutdownPage(PageSignals& sink) : CWizPage(WizardPage::Shutdown, 149, sink) {}

void CShutdownPage::build(QWidget&, QVBoxLayout& content) {
    add_label(content, kIdHeading, kHeadingPixels, kSemiBoldWeight);
    add_label(content, kIdDescription, kDescriptionPixels, kRegularWeight);
}

}  // namespace atlasync::ui
