#include "ui/pages/wiz_page.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

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

QString accessible_text(QString shown) {
    // "&&" shows an ampersand, a single "&" marks the mnemonic.
    shown.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    shown.remove(QLatin1Char('&'));
    shown.replace(QChar(1), QLatin1Char('&'));
    return shown;
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

void CWizPage::relayout(QWidget& parent) {
    if (m_window) {
        lay_out(parent, *m_window);
    }
}

void CWizPage::lay_out(QWidget& parent, QWidget& window) {
    const QRect client = parent.rect();
    const int pageLeft = scaled(margin());
    const int pageTop = scaled(kPageTop);
    window.setGeometry(pageLeft, pageTop, client.width() - pageLeft, client.height() - pageTop);
    const int width = window.width();
    const int height = window.height();

    // The first button's right edge is where the design had it; a button is as
    // wide as its text needs, never narrower than designed.
    int right = width - scaled(kButtonRight - kButtonWidth);
    const int buttonHeight = scaled(kButtonHeight);
    const int buttonTop = height - scaled(kButtonBottom);
    for (QObject* child : window.children()) {
        if (auto* button = qobject_cast<QPushButton*>(child)) {
            const int buttonWidth = std::max(scaled(kButtonWidth), button->sizeHint().width());
            button->setGeometry(right - buttonWidth, buttonTop, buttonWidth, buttonHeight);
            right -= buttonWidth + scaled(kButtonStep - kButtonWidth);
        } else if (auto* picture = dynamic_cast<CAnimatedPicture*>(child)) {
            picture->setGeometry(0, scaled(kPictureTop), scaled(kPictureWidth),
                                 scaled(kPictureHeight));
        }
    }

    const int left = scaled(kDefaultMargin) - pageLeft;
    int top = scaled(8);
    if (auto* picture = window.findChild<CAnimatedPicture*>(control_name(kIdPicture),
                                                            Qt::FindDirectChildrenOnly)) {
        top = picture->geometry().bottom() + 1 + scaled(6);
    }
    auto* content = window.findChild<QWidget*>(QStringLiteral("content"));
    const int contentWidth = width - scaled(kDefaultMargin) - left;
    const int contentHeight = buttonTop - scaled(kContentGap) - top;
    content->setGeometry(left, top, contentWidth, contentHeight);
    m_missingHeight =
        std::max(0, content->layout()->minimumHeightForWidth(contentWidth) - contentHeight);
    arrange(window);
    order_tab_stops(window);
}

void CWizPage::order_tab_stops(QWidget& window) {
    // Tab runs as the eye reads: top to bottom, and left to right along a row.
    std::vector<QWidget*> stops;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if ((child->focusPolicy() & Qt::TabFocus) != 0) {
            stops.push_back(child);
        }
    }
    const auto at = [&window](const QWidget* widget) {
        return widget->mapTo(&window, QPoint(0, 0));
    };
    std::stable_sort(stops.begin(), stops.end(), [&at](const QWidget* a, const QWidget* b) {
        const QPoint pa = at(a);
        const QPoint pb = at(b);
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    for (std::size_t i = 1; i < stops.size(); ++i) {
        QWidget::setTabOrder(stops[i - 1], stops[i]);
    }
}

void CWizPage::take_focus() {
    if (!m_window) {
        return;
    }
    // A list is what the page asks about; else the button Enter would press.
    QWidget* target = m_window->findChild<QAbstractItemView*>();
    if (target == nullptr) {
        for (QPushButton* button : m_window->findChildren<QPushButton*>()) {
            if (target == nullptr || button->isDefault()) {
                target = button;
            }
        }
    }
    if (target != nullptr) {
        target->setFocus(Qt::OtherFocusReason);
    }
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
    label->setFont(page_font(pixels, weight));
    label->setObjectName(control_name(controlId));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(label->text());
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
    // Enter presses the focused button; elsewhere on the page, the default one.
    button->setAutoDefault(true);
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
    busy->setAccessibleName(QString::fromStdWString(text(kTextBusyName)));
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
    picture->setAccessibleName(QString::fromStdWString(text(kTextTutorialName)));
    // The animation grows with the page.
    picture->setScaledContents(true);
    return picture;
}

void CWizPage::keep_markup(std::wstring& field, const std::wstring& text, std::uint32_t controlId) {
    field = text;
    if (auto* label = control<CMarkupLabel>(controlId)) {
        label->set_markup(text);
    }
}

}  // namespace atlasync::ui
