#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "ui/pages/page_signals.h"
#include "ui/wizard/page_host.h"

class QBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace atlasync::ui {

class CAnimatedPicture;
class CBusyAnimation;
class CMarkupLabel;
class TutorialPicture;

// Where a page sits in the main window's client area: below the header band,
// its left edge at its margin, its right and bottom edges on the client's.
// Lengths are at the 9-point font the pages were drawn for; they grow with the
// user's font size (see scaled()).
inline constexpr int kPageTop = 46;
inline constexpr int kDefaultMargin = 24;
// Push buttons run right to left along the page's bottom.
inline constexpr int kButtonRight = 143;  // x = page width - 143
inline constexpr int kButtonBottom = 53;  // y = page height - 53
inline constexpr int kButtonWidth = 119;
inline constexpr int kButtonHeight = 29;
inline constexpr int kButtonStep = 127;  // the next button, further left
// Picture controls sit at (0, 6), 471 x 171.
inline constexpr int kPictureTop = 6;
inline constexpr int kPictureWidth = 471;
inline constexpr int kPictureHeight = 171;

// The font of the wizard's windows, in pixels.
inline constexpr int kDialogFontPixels = 12;

// Control ids used by more than one page.
inline constexpr std::uint32_t kIdCancel = 2;
inline constexpr std::uint32_t kIdHeading = 1002;
inline constexpr std::uint32_t kIdNext = 1005;
inline constexpr std::uint32_t kIdPicture = 1009;
inline constexpr std::uint32_t kIdBusy = 1010;
inline constexpr std::uint32_t kIdRetry = 1015;
inline constexpr std::uint32_t kIdDescription = 1016;

// A control's object name: its id, so tests and the skin can find it.
QString control_name(std::uint32_t controlId);
// A shown text with a mnemonic, as read: without the mnemonic's '&'.
QString accessible_text(QString shown);

// One wizard page. The object and its texts live as long as the main window;
// its window exists only while the page is shown. Texts set meanwhile are kept
// and copied into the controls when the window is made.
class CWizPage {
public:
    CWizPage(WizardPage kind, std::uint32_t templateId, PageSignals& sink);
    virtual ~CWizPage();
    CWizPage(const CWizPage&) = delete;
    CWizPage& operator=(const CWizPage&) = delete;

    WizardPage kind() const { return m_kind; }
    std::uint32_t template_id() const { return m_templateId; }
    // The header the page brings along when the machine gives none.
    std::wstring caption() const;
    // The page's left edge inside the main window's client area.
    virtual int margin() const { return kDefaultMargin; }

    // Makes the page's window as a child of the main window, lays it out
    // against the parent's client area and starts its animation; the caller
    // places and shows it.
    QWidget* create(QWidget& parent);
    // Lays the shown page out again against the parent's client area, after
    // the parent grew.
    void relayout(QWidget& parent);
    // How much higher the parent must be for the page's texts to fit at the
    // user's font size and in the language in use; 0 when they fit.
    int missing_height() const { return m_missingHeight; }
    // Puts the keyboard focus where the page expects the user's answer.
    void take_focus();
    // Destroys the window; the texts stay.
    void destroy();
    QWidget* window() const { return m_window.data(); }

    // The animation the download and installing pages play.
    void set_tutorial_picture(std::shared_ptr<TutorialPicture> picture);

    // A control of the shown page; null while the page is not shown.
    template <class Control>
    Control* control(std::uint32_t controlId) const {
        return m_window ? m_window->findChild<Control*>(control_name(controlId)) : nullptr;
    }

protected:
    // Makes the page's controls in the window, with the texts kept so far;
    // buttons in order, right to left.
    virtual void build(QWidget& window, QVBoxLayout& content) = 0;
    // Places what depends on the laid-out buttons and pictures.
    virtual void arrange(QWidget&) {}
    // The default button's data exchange; false keeps the page as it is.
    virtual bool exchange_data() { return true; }

    // The text of one of this page's controls from the string table.
    std::wstring control_text(std::uint32_t controlId) const;

    // A plain label in the bundled family; weight as QFont's (400 regular, 600 semi-bold).
    QLabel* add_label(QBoxLayout& layout, std::uint32_t controlId, int pixels, int weight);
    // A mark-up label, its base size given; the text from the string table unless given.
    CMarkupLabel* add_markup(QBoxLayout& layout, std::uint32_t controlId, int basePixels,
                             const std::wstring& markup = {});
    // Button ids give the behaviour: 1005 exchanges the data and goes on,
    // 2 cancels, 1015 tries again.
    QPushButton* add_button(QWidget& window, std::uint32_t controlId);
    CBusyAnimation* add_busy(QBoxLayout& layout);
    // A row with the busy animation on the left; answers the column beside it.
    QVBoxLayout& add_busy_row(QVBoxLayout& content);
    CAnimatedPicture* add_picture(QWidget& window);

    // Keeps the text and shows it at once when the page is shown.
    void keep_markup(std::wstring& field, const std::wstring& text, std::uint32_t controlId);

    PageSignals& sink() { return m_signals; }

private:
    void lay_out(QWidget& parent, QWidget& window);
    static void order_tab_stops(QWidget& window);
    void start_animation();

    const WizardPage m_kind;
    const std::uint32_t m_templateId;
    PageSignals& m_signals;
    QPointer<QWidget> m_window;
    std::shared_ptr<TutorialPicture> m_tutorial;
    int m_missingHeight = 0;
};

}  // namespace atlasync::ui
