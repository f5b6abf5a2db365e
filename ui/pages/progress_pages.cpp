// The pages of a running update: download and installation.

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "ui/controls/animated_picture.h"
#include "ui/controls/markup_label.h"
#include "ui/pages/pages.h"

namespace atlasync::ui {

namespace {

constexpr std::uint32_t kIdInstallingText = 1011;
constexpr std::uint32_t kIdBar = 1012;
constexpr std::uint32_t kIdDownloadText = 1013;
const QColor kTextBackground(243, 243, 243);

}  // namespace

CDownloadPage::CDownloadPage(PageSignals& sink) : CWizPage(WizardPage::Download, 139, sink) {}

void CDownloadPage::set_text(const std::wstring& text) {
    if (text != m_text) {
        keep_markup(m_text, text, kIdDownloadText);
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
    palette.setColor(QPalette::Window, kTextBackground);
    label->setPalette(palette);
    label->setContentsMargins(6, 4, 6, 4);
    label->setMinimumHeight(44);

    add_button(window, kIdCancel);
    auto* bar = new QProgressBar(&window);
    bar->setObjectName(control_name(kIdBar));
    bar->setRange(0, kBarRange);
    bar->setValue(m_position);
    bar->setTextVisible(false);
}

void CDownloadPage::arrange(QWidget& window) {
    // From the header's left edge to just short of "Cancel", centred on its row.
    auto* cancel = window.findChild<QPushButton*>(control_name(kIdCancel));
    auto* bar = window.findChild<QProgressBar*>(control_name(kIdBar));
    const int left = kDefaultMargin - kMargin;
    bar->setGeometry(left, cancel->y() + (cancel->height() - kBarHeight) / 2,
                     cancel->x() - kBarGap - left, kBarHeight);
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
