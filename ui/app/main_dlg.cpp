#include "ui/app/main_dlg.h"

#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QResizeEvent>
#include <cstdio>

#include "ui/controls/animated_picture.h"
#include "ui/controls/bundled_fonts.h"
#include "ui/controls/markup_label.h"
#include "ui/controls/resources.h"
#include "ui/controls/skin.h"
#include "ui/pages/about_dlg.h"
#include "ui/pages/confirm_cancel_dlg.h"
#include "ui/pages/pages.h"
#include "ui/pages/splash_dlg.h"
#include "ui/pages/version_info.h"
#include "ui/wizard/string_table.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::ui {

namespace {

// The client area when the background picture is missing.
constexpr QSize kPlainSize{495, 372};
constexpr int kHeaderGap = 25;  // between the header label and the picture

std::size_t index_of(WizardPage page) {
    return static_cast<std::size_t>(page);
}

}  // namespace

CMainDlg::CMainDlg()
    : m_tutorial(std::make_shared<TutorialPicture>()),
      m_languagePage(std::make_unique<CSelectLanguagePage>(*this)),
      m_searchingPage(std::make_unique<CSearchingForPhonesPage>(*this)),
      m_phonePage(std::make_unique<CSelectPhonePage>(*this)),
      m_errorRetryPage(std::make_unique<CErrorRetryPage>(*this)),
      m_errorExitPage(std::make_unique<CErrorExitPage>(*this)),
      m_checkingPage(std::make_unique<CCheckingForUpdatesPage>(*this)),
      m_updatePage(std::make_unique<CUpdateAvailablePage>(*this)),
      m_downloadPage(std::make_unique<CDownloadPage>(*this)),
      m_installingPage(std::make_unique<CInstallingPage>(*this)),
      m_completePage(std::make_unique<CCompletePage>(*this)),
      m_shutdownPage(std::make_unique<CShutdownPage>(*this)) {
    use_resources();
    for (CWizPage* page : std::initializer_list<CWizPage*>{
             m_languagePage.get(), m_searchingPage.get(), m_phonePage.get(), m_errorRetryPage.get(),
             m_errorExitPage.get(), m_checkingPage.get(), m_updatePage.get(), m_downloadPage.get(),
             m_installingPage.get(), m_completePage.get(), m_shutdownPage.get()}) {
        m_pages[index_of(page->kind())] = page;
    }
    m_downloadPage->set_tutorial_picture(m_tutorial);
    m_installingPage->set_tutorial_picture(m_tutorial);

    setObjectName(QStringLiteral("mainDlg"));
    setWindowIcon(QIcon(QStringLiteral(":/images/atlasync.png")));
    setFont(page_font(kDialogFontPixels));
    // The client area is the background picture's size at the design's font;
    // it grows with the user's font size, and further when a page needs it.
    m_background = QPixmap(QStringLiteral(":/images/background.png"));
    const QSize designed = m_background.isNull() ? kPlainSize : m_background.size();
    setMinimumSize(scaled(designed.width()), scaled(designed.height()));
    resize(minimumSize());

    m_headerPicture = new QLabel(this);
    m_headerPicture->setObjectName(QStringLiteral("1024"));
    m_headerPicture->setScaledContents(true);
    m_headerPicture->hide();

    m_header = new CMarkupLabel(this);
    m_header->setObjectName(QStringLiteral("header"));
    m_header->setTextInteractionFlags(Qt::NoTextInteraction);
    m_header->setWordWrap(false);
    m_header->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    MarkupBase base = m_header->base();
    base.pixelSize = kHeaderPixels;
    base.color = QStringLiteral("white");
    m_header->set_base(base);
    place_header();

    // The window menu's "About Atlasync...": a desktop without window menus
    // gets it from the window's context menu and from F1.
    m_aboutAction = new QAction(this);
    m_aboutAction->setObjectName(QStringLiteral("aboutAction"));
    m_aboutAction->setShortcut(QKeySequence::HelpContents);
    connect(m_aboutAction, &QAction::triggered, this, &CMainDlg::show_about);
    addAction(m_aboutAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    read_window_texts();
}

void CMainDlg::place_header() {
    const int icon = scaled(kIconSize);
    m_headerPicture->setGeometry(width() - scaled(kHeaderX) - icon,
                                 scaled(kHeaderY) + (scaled(kHeaderHeight) - icon) / 2, icon, icon);
    m_header->setGeometry(scaled(kHeaderX), scaled(kHeaderY),
                          m_headerPicture->x() - scaled(kHeaderGap) - scaled(kHeaderX),
                          scaled(kHeaderHeight));
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    place_header();
    if (m_current != nullptr) {
        m_current->relayout(*this);
    }
}

void CMainDlg::read_window_texts() {
    setWindowTitle(QString::fromStdWString(text(kTextAnotherInstanceCaption)));
    m_aboutAction->setText(QString::fromStdWString(text(kTextAboutMenu)));
}

CMainDlg::~CMainDlg() {
    // Pages go before the window that parents their controls.
    if (m_current != nullptr) {
        m_current->destroy();
    }
}

void CMainDlg::set_signal_target(std::function<void(std::uint16_t)> target) {
    m_signalTarget = std::move(target);
}

void CMainDlg::set_page_listener(std::function<void(WizardPage, const std::wstring&)> listener) {
    m_pageListener = std::move(listener);
}

void CMainDlg::set_languages(std::vector<std::uint32_t> languageIds) {
    m_languagePage->set_languages(std::move(languageIds));
}

void CMainDlg::page_signal(std::uint16_t signal) {
    if (m_signalTarget) {
        m_signalTarget(signal);
    }
}

void CMainDlg::show_splash() {
    m_splash = std::make_unique<CSplashDlg>();
    m_splash->on_language_request([this] { page_signal(SIG_LANGUAGE_REQUEST); });
    m_splash->show();
    m_splash->activateWindow();
}

void CMainDlg::close_splash() {
    m_splash.reset();
}

void CMainDlg::open_main_window() {
    show();
    raise();
    activateWindow();
}

void CMainDlg::show_page(WizardPage kind, const std::wstring& header) {
    m_pageChanging = true;
    if (m_current != nullptr) {
        m_current->destroy();
        m_current = nullptr;
    }
    m_headerPicture->hide();

    // The language page may have switched the language: the window's own
    // texts follow, as the pages' do when they are made.
    read_window_texts();
    CWizPage& next = page(kind);
    QWidget* window = next.create(*this);
    // A longer translation or a larger font: the window grows until it fits.
    if (const int more = next.missing_height(); more > 0) {
        // Also the least the user may shrink it to, or the text is clipped again.
        setMinimumHeight(height() + more);
        resize(width(), height() + more);
        next.relayout(*this);
    }
    window->stackUnder(m_header);
    window->show();
    m_current = &next;

    m_header->hide();
    m_header->set_markup(header.empty() ? next.caption() : header);
    m_header->show();
    window->setAccessibleName(m_header->plain_text());
    show_header_icon(kind);
    next.take_focus();

    m_pageChanging = false;
    update();
    if (m_pageListener) {
        m_pageListener(kind, m_header->markup());
    }
}

void CMainDlg::show_header_icon(WizardPage kind) {
    const char* icon = nullptr;
    if (kind == WizardPage::ErrorRetry || kind == WizardPage::ErrorExit) {
        icon = ":/images/error.png";
    } else if (kind == WizardPage::Complete) {
        icon = ":/images/final.png";
    }
    if (icon != nullptr) {
        m_headerPicture->setPixmap(QPixmap(QString::fromLatin1(icon)));
        // The icon tells an error from success: named as the page is.
        m_headerPicture->setAccessibleName(m_header->plain_text());
        m_headerPicture->show();
    }
}

void CMainDlg::repaint_now() {
    repaint();
    if (m_current != nullptr && m_current->window() != nullptr) {
        m_current->window()->repaint();
    }
}

CTextPage* CMainDlg::text_page(WizardPage kind) const {
    switch (kind) {
        case WizardPage::ErrorRetry:
            return m_errorRetryPage.get();
        case WizardPage::ErrorExit:
            return m_errorExitPage.get();
        case WizardPage::UpdateAvailable:
            return m_updatePage.get();
        case WizardPage::Complete:
            return m_completePage.get();
        default:
            return nullptr;
    }
}

void CMainDlg::set_heading(WizardPage kind, const std::wstring& text) {
    if (CTextPage* target = text_page(kind)) {
        target->set_heading(text);
    }
}

void CMainDlg::set_description(WizardPage kind, const std::wstring& text) {
    if (CTextPage* target = text_page(kind)) {
        target->set_description(text);
    }
}

void CMainDlg::set_phone_text(const std::wstring& text) {
    m_checkingPage->set_phone_text(text);
}

void CMainDlg::set_installing_text(const std::wstring& text) {
    m_installingPage->set_text(text);
}

void CMainDlg::set_download_text(const std::wstring& text) {
    m_downloadPage->set_text(text);
}

void CMainDlg::set_download_progress(double percent) {
    m_downloadPage->set_progress(percent);
}

void CMainDlg::load_tutorial_picture(const std::filesystem::path& path) {
    (void)m_tutorial->load(path);
}

void CMainDlg::set_phone_list(const std::vector<PhoneEntry>& phones) {
    m_phonePage->set_phones(phones);
}

std::uint32_t CMainDlg::selected_phone() const {
    return m_phonePage->selected_phone();
}

void CMainDlg::preselect_language(std::uint32_t languageId) {
    m_languagePage->preselect(languageId);
}

std::uint32_t CMainDlg::chosen_language() const {
    return m_languagePage->chosen_language();
}

bool CMainDlg::confirm_cancel() {
    CConfirmCancelDlg dialog(isVisible() ? this : nullptr);
    return dialog.exec() == CConfirmCancelDlg::kYes;
}

bool CMainDlg::retry_after_other_instance() {
    QMessageBox box(QMessageBox::Critical,
                    QString::fromStdWString(text(kTextAnotherInstanceCaption)),
                    QString::fromStdWString(text(kTextAnotherInstance)),
                    QMessageBox::Retry | QMessageBox::Cancel, isVisible() ? this : nullptr);
    box.setObjectName(QStringLiteral("anotherInstance"));
    box.setDefaultButton(QMessageBox::Retry);
    return box.exec() == QMessageBox::Retry;
}

void CMainDlg::report_start_failure(const std::string& reason) {
    // Also on the error stream: a window started from a launcher may never be seen.
    std::fprintf(stderr, "atlasync: cannot start: %s\n", reason.c_str());
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(atlasync::kProgramProductName),
                    QString::fromStdString(reason), QMessageBox::Ok, isVisible() ? this : nullptr);
    box.setObjectName(QStringLiteral("startFailure"));
    box.exec();
}

void CMainDlg::end_run(int result) {
    m_runResult = result;
    close_splash();
    hide();
    if (m_runLoop != nullptr) {
        m_runLoop->quit();
    }
}

int CMainDlg::wait_for_end() {
    if (!m_runResult) {
        QEventLoop loop;
        m_runLoop = &loop;
        loop.exec(QEventLoop::DialogExec);
        m_runLoop = nullptr;
    }
    return *m_runResult;
}

CWizPage& CMainDlg::page(WizardPage kind) const {
    return *m_pages.at(index_of(kind));
}

void CMainDlg::show_about() {
    CAboutDlg about(this);
    about.exec();
}

void CMainDlg::reject() {
    page_signal(SIG_CANCEL_REQUEST);
}

void CMainDlg::paintEvent(QPaintEvent*) {
    // A page half made is not painted; the change ends with a full repaint.
    if (m_pageChanging) {
        return;
    }
    QPainter painter(this);
    if (m_background.isNull()) {
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int band = scaled(kPageTop);
    if (light_theme(palette())) {
        // The page's art keeps its shape: drawn at the user's scale against
        // the bottom, the room a page added above it in the art's top colour.
        const QRect art(0, kPageTop, m_background.width(), m_background.height() - kPageTop);
        const int artHeight = scaled(art.height());
        painter.fillRect(QRect(0, band, width(), height() - band),
                         m_background.toImage().pixelColor(0, kPageTop + 4));
        painter.drawPixmap(QRect(0, height() - artHeight, width(), artHeight), m_background, art);
    } else {
        // On a dark theme the pale page would put light text on light: the page
        // is the theme's.
        painter.fillRect(rect(), palette().color(QPalette::Window));
    }
    painter.drawPixmap(QRect(0, 0, width(), band), m_background,
                       QRect(0, 0, m_background.width(), kPageTop));
}

}  // namespace atlasync::ui
