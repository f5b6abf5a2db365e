#pragma once

#include <QDialog>
#include <QPixmap>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "ui/pages/page_signals.h"
#include "ui/wizard/page_host.h"

class QAction;
class QEventLoop;
class QLabel;

namespace atlasync::ui {

class CMarkupLabel;
class CSplashDlg;
class CWizPage;
class CSelectLanguagePage;
class CSearchingForPhonesPage;
class CSelectPhonePage;
class CErrorRetryPage;
class CErrorExitPage;
class CCheckingForUpdatesPage;
class CUpdateAvailablePage;
class CDownloadPage;
class CInstallingPage;
class CCompletePage;
class CShutdownPage;
class CTextPage;
class TutorialPicture;

// The wizard's window: a header band with the page's title and an icon, and
// one page at a time below it. It shows what the state machine puts into it
// and hands the buttons, Escape and the window's close button to the machine
// as signals; it never closes by itself.
class CMainDlg : public QDialog, public PageHost, public PageSignals {
    Q_OBJECT

public:
    // The header label: at (24, 5), 40 high, reaching to 25 pixels left of the
    // picture; like the pages, at the 9-point font and grown with the user's.
    static constexpr int kHeaderX = 24;
    static constexpr int kHeaderY = 5;
    static constexpr int kHeaderHeight = 40;
    static constexpr int kHeaderPixels = 16;
    static constexpr int kIconSize = 32;

    CMainDlg();
    ~CMainDlg() override;

    // Where the signals go: the state machine, or a test's recorder.
    void set_signal_target(std::function<void(std::uint16_t)> target);
    // Told of every page once it is shown, with its header.
    void set_page_listener(std::function<void(WizardPage, const std::wstring&)> listener);
    // The languages the language page offers, in order.
    void set_languages(std::vector<std::uint32_t> languageIds);

    // PageSignals.
    void page_signal(std::uint16_t signal) override;

    // PageHost.
    void show_splash() override;
    void close_splash() override;
    void open_main_window() override;
    void show_page(WizardPage page, const std::wstring& header = {}) override;
    void repaint_now() override;
    void set_heading(WizardPage page, const std::wstring& text) override;
    void set_description(WizardPage page, const std::wstring& text) override;
    void set_phone_text(const std::wstring& text) override;
    void set_installing_text(const std::wstring& text) override;
    void set_download_text(const std::wstring& text) override;
    void set_download_progress(double percent) override;
    void load_tutorial_picture(const std::filesystem::path& path) override;
    void set_phone_list(const std::vector<PhoneEntry>& phones) override;
    std::uint32_t selected_phone() const override;
    void preselect_language(std::uint32_t languageId) override;
    std::uint32_t chosen_language() const override;
    bool confirm_cancel() override;
    bool retry_after_other_instance() override;
    void report_start_failure(const std::string& reason) override;
    void end_run(int result) override;

    // Runs the window's events until end_run; its result.
    int wait_for_end();
    std::optional<int> run_result() const { return m_runResult; }

    CWizPage& page(WizardPage page) const;
    CWizPage* current_page() const { return m_current; }
    CSplashDlg* splash() const { return m_splash.get(); }
    CMarkupLabel& header() const { return *m_header; }
    QLabel& header_picture() const { return *m_headerPicture; }

    // Opens the about box.
    void show_about();

    // Escape, the window's close button: a cancel request, never a close.
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CTextPage* text_page(WizardPage page) const;
    // The header's label and icon against the window's width.
    void place_header();
    void show_header_icon(WizardPage page);
    // The title and the About item in the language in use.
    void read_window_texts();

    std::function<void(std::uint16_t)> m_signalTarget;
    std::function<void(WizardPage, const std::wstring&)> m_pageListener;
    QPixmap m_background;
    CMarkupLabel* m_header = nullptr;
    QLabel* m_headerPicture = nullptr;
    QAction* m_aboutAction = nullptr;
    std::unique_ptr<CSplashDlg> m_splash;
    std::shared_ptr<TutorialPicture> m_tutorial;

    std::unique_ptr<CSelectLanguagePage> m_languagePage;
    std::unique_ptr<CSearchingForPhonesPage> m_searchingPage;
    std::unique_ptr<CSelectPhonePage> m_phonePage;
    std::unique_ptr<CErrorRetryPage> m_errorRetryPage;
    std::unique_ptr<CErrorExitPage> m_errorExitPage;
    std::unique_ptr<CCheckingForUpdatesPage> m_checkingPage;
    std::unique_ptr<CUpdateAvailablePage> m_updatePage;
    std::unique_ptr<CDownloadPage> m_downloadPage;
    std::unique_ptr<CInstallingPage> m_installingPage;
    std::unique_ptr<CCompletePage> m_completePage;
    std::unique_ptr<CShutdownPage> m_shutdownPage;
    std::array<CWizPage*, 11> m_pages{};

    CWizPage* m_current = nullptr;
    bool m_pageChanging = false;
    std::optional<int> m_runResult;
    QEventLoop* m_runLoop = nullptr;
};

}  // namespace atlasync::ui
