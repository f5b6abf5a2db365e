#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/pages/wiz_page.h"

namespace atlasync::ui {

// Base font sizes of the pages' mark-up labels, in pixels.
inline constexpr int kHeadingPixels = 15;
inline constexpr int kDescriptionPixels = 13;
inline constexpr int kDownloadTextPixels = 12;
inline constexpr int kTextPixels = 12;

// "Welcome to Atlasync": one entry per language, the one in use selected.
class CSelectLanguagePage : public CWizPage {
public:
    explicit CSelectLanguagePage(PageSignals& sink);

    // Language ids in the order listed; the preselected one is listed too.
    void set_languages(std::vector<std::uint32_t> languageIds);
    void preselect(std::uint32_t languageId);
    // The entry chosen by the last data exchange; the preselected one before.
    std::uint32_t chosen_language() const { return m_chosen; }

protected:
    void build(QWidget& window, QVBoxLayout& content) override;
    bool exchange_data() override;

private:
    std::vector<std::uint32_t> m_languages;
    std::uint32_t m_preselected = 0;
    std::uint32_t m_chosen = 0;
};

// "Get Connected" while the service looks for phones.
class CSearchingForPhonesPage : public CWizPage {
public:
    explicit CSearchingForPhonesPage(PageSignals& sink);

protected:
    void build(QWidget& window, QVBoxLayout& content) override;
};

// "Get Connected" with more than one phone: the user picks one.
class CSelectPhonePage : public CWizPage {
public:
    explicit CSelectPhonePage(PageSignals& sink);

    // Refills the list; the phone selected before stays selected while listed,
    // else the first entry is.
    void set_phones(const std::vector<PhoneEntry>& phones);
    // The selected entry's phone id; 0 when none is selected.
    std::uint32_t selected_phone() const;

protected:
    void build(QWidget& window, QVBoxLayout& content) override;
    bool exchange_data() override;

private:
    void fill_list();

    std::vector<PhoneEntry> m_phones;
    std::uint32_t m_selected = 0;  // while the page is not shown
};

// A page with a heading and a mark-up description (the error pages, the
// update page, the final page).
class CTextPage : public CWizPage {
public:
    CTextPage(WizardPage kind, std::uint32_t templateId, PageSignals& sink,
              std::uint32_t descriptionId, int headingPixels, int descriptionPixels);

    void set_heading(const std::wstring& text);
    void set_description(const std::wstring& text);
    // What the page shows: the text set, else the page's own text in the
    // language in use.
    std::wstring heading() const;
    std::wstring description() const;

protected:
    void build(QWidget& window, QVBoxLayout& content) override;
    // The controls after the heading and the description.
    virtual void build_more(QWidget& window, QVBoxLayout& content) = 0;

private:
    const std::uint32_t m_descriptionId;
    const int m_headingPixels;
    const int m_descriptionPixels;
    // Empty until set: the page's own text is read when the page is made, so
    // a language chosen meanwhile is the one shown.
    std::wstring m_heading;
    std::wstring m_description;
};

// "Error" with "Try Again" and "Exit".
class CErrorRetryPage : public CTextPage {
public:
    explicit CErrorRetryPage(PageSignals& sink);

protected:
    void build_more(QWidget& window, QVBoxLayout& content) override;
};

// "Error" with "Exit" only.
class CErrorExitPage : public CTextPage {
public:
    explicit CErrorExitPage(PageSignals& sink);

protected:
    void build_more(QWidget& window, QVBoxLayout& content) override;
};

// "New updates available": what the update brings, "Download" or "Cancel".
class CUpdateAvailablePage : public CTextPage {
public:
    explicit CUpdateAvailablePage(PageSignals& sink);

protected:
    void build_more(QWidget& window, QVBoxLayout& content) override;
};

// "Complete": the outcome as heading, a note (the description), "Exit".
class CCompletePage : public CTextPage {
public:
    explicit CCompletePage(PageSignals& sink);

protected:
    void build_more(QWidget& window, QVBoxLayout& content) override;
};

// "Checking for Updates" with the phone's name.
class CCheckingForUpdatesPage : public CWizPage {
public:
    explicit CCheckingForUpdatesPage(PageSignals& sink);

    void set_phone_text(const std::wstring& text);
    const std::wstring& phone_text() const { return m_phoneText; }

protected:
    void build(QWidget& window, QVBoxLayout& content) override;

private:
    std::wstring m_phoneText;
};

// "Download": the tutorial picture, the text with sizes and time, the bar.
class CDownloadPage : public CWizPage {
public:
    static constexpr int kMargin = 6;
    static constexpr int kBarRange = 1000;
    static constexpr int kBarHeight = 15;
    static constexpr int kBarGap = 6;  // between the bar and "Cancel"

    explicit CDownloadPage(PageSignals& sink);
    int margin() const override { return kMargin; }

    // Shown as given; the label is rewritten only when the text changed.
    void set_text(const std::wstring& text);
    const std::wstring& text() const { return m_text; }
    // 0 to 100 percent; the bar counts tenths of a percent.
    void set_progress(double percent);
    int bar_position() const { return m_position; }

protected:
    void build(QWidget& window, QVBoxLayout& content) override;
    void arrange(QWidget& window) override;

private:
    void describe_bar();

    std::wstring m_text;
    int m_position = 0;
};

// "Installing": the tutorial picture and what the phone is doing.
class CInstallingPage : public CWizPage {
public:
    explicit CInstallingPage(PageSignals& sink);
    // The picture stays where the download page showed it.
    int margin() const override { return CDownloadPage::kMargin; }

    void set_text(const std::wstring& text);
    const std::wstring& text() const { return m_text; }

protected:
    void build(QWidget& window, QVBoxLayout& content) override;

private:
    std::wstring m_text;
};

// "Shutdown" while the service stops.
class CShutdownPage : public CWizPage {
public:
    explicit CShutdownPage(PageSignals& sink);

protected:
    void build(QWidget& window, QVBoxLayout& content) override;
};

}  // namespace atlasync::ui
