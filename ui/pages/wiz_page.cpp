#include "ui/pages/wiz_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/controls/animated_picture.h"
#include "ui/controls/bundled_fonts.h"
#include "ui/controls/busy_animation.h"
#include "ui/controls/markup_label.h"
#include "ui/wizard/string_table.h"
#include "ui/wizard/wizard_signals.h"

namespace atlasync::ui {

namespace {

// Room kept free above the row of buttons.
constexpr int kContentGap = 10;

}  // namespace

QString control_name(std::uint32_t controlId) {
    return QString::number(controlId);
}

CWizPage::CWizPage(WizardPage kind, std::uint32_t templateId, PageSignals& sink)
    : m_kind(kind), m_templateId(templateId), m_signals(sink) {}

CWizPage::~CWizPage() {
    destroy();
}

std::wstring CWizPage::caption() const {
    return text(dialog_text_id(m_templateId, 0));
}

std::wstring CWizPage::control_text(std::uint32_t controlId) const {
    return text(dialog_text_id(m_templateId, controlId));
}

QWidget* CWizPage::create(QWidget& parent) {
    destroy();
    auto* window = new QWidget(&parent);
    window->setObjectName(QStringLiteral("page%1").arg(m_templateId));
    window->setFont(parent.font());
    m_window = window;
    // The text area spans the page above the buttons, its left edge on the
    // header's, whatever the page's own margin.
    auto* content = new QWidget(window);
    content->setObjectName(QStringLiteral("content"));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    build(*window, *layout);
    layout->addStretch(1);
    lay_out(parent, *window);
    start_animation();
    return window;
}

void CWizPage::destroy() {
    // Deleted at once, not later: the next page may be created in its place
    // within the same event.
    delete m_window.data();
    m_window = nullptr;
}

void CWizPage::set_tutorial_picture(std::shared_ptr<TutorialPicture> picture) {
    m_tutorial = std::move(picture);
}

void CWizPage::lay_out(QWidget& parent, QWidget& window) {
    const QRect client = parent.rect();
    window.setGeometry(margin(), kPageTop, client.width() - margin(), client.height() - kPageTop);
    const int width = window.width();
    const int height = window.height();

    int index = 0;
    for (QObject* child : window.children()) {
        if (auto* button = qobject_cast<QPushButton*>(child)) {
            button->setGeometry(width - kButtonRight - index * kButtonStep, height - kButtonBottom,
                                kButtonWidth, kButtonHeight);
            ++index;
        } else if (auto* picture = dynamic_cast<CAnimatedPicture*>(child)) {
            picture->setGeometry(0, kPictureTop, kPictureWidth, kPictureHeight);
        }
    }

    const int left = kDefaultMargin - margin();
    int top = 8;
    if (window.findChild<CAnimatedPicture*>(control_name(kIdPicture), Qt::FindDirectChildrenOnly)) {
        top = kPictureTop + kPictureHeight + 6;
    }
    auto* content = window.findChild<QWidget*>(QStringLiteral("content"));
    content->setGeometry(left, top, width - kDefaultMargin - left,
                         height - kButtonBottom - kContentGap - top);
    arrange(window);
}

void CWizPage::start_animation() {
    auto* picture = control<CAnimatedPicture>(kIdPicture);
    if (picture != nullptr && picture->play(m_tutorial)) {
        return;
    }
    if (auto* busy = control<CBusyAnimation>(kIdBusy)) {
        busy->start();
    }
}

QLabel* CWizPage::add_label(QBoxLayout& layout, std::uint32_t controlId, int pixels, int weight) {
    auto* label = new QLabel(QString::fromStdWString(control_text(controlId)));
    label->setFont(bundled_font(pixels, weight));
    label->setObjectName(control_name(controlId));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    layout.addWidget(label);
    return label;
}

CMarkupLabel* CWizPage::add_markup(QBoxLayout& layout, std::uint32_t controlId, int basePixels,
                                   const std::wstring& markup) {
    auto* label = new CMarkupLabel;
    label->setObjectName(control_name(controlId));
    label->set_base_pixel_size(basePixels);
    label->set_markup(markup.empty() ? control_text(controlId) : markup);
    layout.addWidget(label);
    return label;
}

QPushButton* CWizPage::add_button(QWidget& window, std::uint32_t controlId) {
    auto* button = new QPushButton(QString::fromStdWString(control_text(controlId)), &window);
    button->setObjectName(control_name(controlId));
    button->setAutoDefault(false);
    if (controlId == kIdNext || controlId == kIdRetry) {
        button->setDefault(true);
    }
    QObject::connect(button, &QPushButton::clicked, &window, [this, controlId] {
        if (controlId == kIdNext) {
            if (exchange_data()) {
                m_signals.page_signal(SIG_NEXT);
            }
        } else if (controlId == kIdRetry) {
            m_signals.page_signal(SIG_RETRY);
        } else if (controlId == kIdCancel) {
            m_signals.page_signal(SIG_CANCEL_REQUEST);
        }
    });
    return button;
}

CBusyAnimation* CWizPage::add_busy(QBoxLayout& layout) {
    auto* busy = new CBusyAnimation;
    busy->setObjectName(control_name(kIdBusy));
    busy->setFixedSize(busy->sizeHint());
    layout.addWidget(busy, 0, Qt::AlignLeft | Qt::AlignVCenter);
    return busy;
}

QVBoxLayout& CWizPage::add_busy_row(QVBoxLayout& content) {
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    add_busy(*row);
    auto* column = new QVBoxLayout;
    row->addLayout(column, 1);
    content.addLayout(row);
    return *column;
}

CAnimatedPicture* CWizPage::add_picture(QWidget& window) {
    auto* picture = new CAnimatedPicture(&window);
    picture->setObjectName(control_name(kIdPicture));
    return picture;
}

void CWizPage::keep_markup(std::wstring& field, const std::wstring& text, std::uint32_t controlId) {
    field = text;
    if (auto* label = control<CMarkupLabel>(controlId)) {
        label->set_markup(text);
    }
}

}  // namespace atlasync::ui
