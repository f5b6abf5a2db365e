// The pages of a running update: download and installation.

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "ui/controls/animated_picture.h"
#include "ui/controls/bundled_fonts.h"
#include "ui/controls/markup_label.h"
#include "ui/controls/skin.h"
#include "ui/pages/pages.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {

namespace {

constexpr std::uint32_t kIdInstallingText = 1011;
constexpr std::uint32_t kIdBar = 1012;
constexpr std::uint32_t kIdDownloadText = 1013;
const QColor kTextBackground(243, 243, 243);

// The panel behind the download text: the skin's pale grey on a light page,
// the theme's own shade on a dark one.
QColor panel_colour(const QPalette& palette) {
    return light_theme(palette) ? kTextBackground : palette.color(QPalette::AlternateBase);
}

}  // namespace

CDownloadPage::CDownloadPage(PageSignals& sink) : CWizPage(WizardPage::Download, 139, sink) {}

void CDownloadPage::set_text(const std::wstring& text) {
    if (text != m_text) {
        keep_markup(m_text, text, kIdDownloadText);
        describe_bar();
    }
}

void CDownloadPage::describe_bar() {
    // A screen reader reads the figures with the bar's value.
    auto* bar = control<QProgressBar>(kIdBar);
    auto* label = control<CMarkupLabel>(kIdDownloadText);
    if (bar != nullptr && label != nullptr) {
        bar->setAccessibleDescription(label->plain_text());
    }
}

void CDownloadPage::set_progress(double percent) {
    const double tenths = std::round(std::clamp(percent, 0.0, 100.0) * 10.0);
    m_position = std::isfinite(tenths) ? static_cast<int>(tenths) : 0;
    if (auto* bar = control<QProgressBar>(kIdBar)) {
        bar->setValue(m_position);
    }
}

void CDownloadPage::build(QWidget& window, QVBoxLayout& content) {
    add_picture(window);
    auto* label = add_markup(content, kIdDownloadText, kDownloadTextPixels, m_text);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, panel_colour(palette));
    label->setPalette(palette);
    label->setContentsMargins(scaled(6), scaled(4), scaled(6), scaled(4));
    label->setMinimumHeight(scaled(44));

    add_button(window, kIdCancel);
    auto* bar = new QProgressBar(&window);
    bar->setObjectName(control_name(kIdBar));
    bar->setAccessibleName(QString::fromStdWString(ui::text(kTextProgressName)));
    bar->setRange(0, kBarRange);
    bar->setValue(m_position);
    bar->setTextVisible(false);
    describe_bar();
}

void CDownloadPage::arrange(QWidget& window) {
    // From the header's left edge to just short of "Cancel", centred on its row.
    auto* cancel = window.findChild<QPushButton*>(control_name(kIdCancel));
    auto* bar = window.findChild<QProgressBar*>(control_name(kIdBar));
    const int left = scaled(kDefaultMargin) - scaled(kMargin);
    const int height = scaled(kBarHeight);
    bar->setGeometry(left, cancel->y() + (cancel->height() - height) / 2,
                     cancel->x() - scaled(kBarGap) - left, height);
}

CInstallingPage::CInstallingPage(PageSignals& sink) : CWizPage(WizardPage::Installing, 138, sink) {}

void CInstallingPage::set_text(const std::wstring& text) {
    keep_markup(m_text, text, kIdInstallingText);
}

void CInstallingPage::build(QWidget& window, QVBoxLayout& content) {
    add_picture(window);
    add_markup(add_busy_row(content), kIdInstallingText, kDescriptionPixels, m_text);
    add_button(window, kIdCancel);
}

}  // namespace atlasync::ui
