#include "ui/pages/confirm_cancel_dlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/controls/bundled_fonts.h"
#include "ui/controls/markup_label.h"
#include "ui/pages/wiz_page.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {

namespace {

constexpr std::uint32_t kIdQuestion = 1019;
constexpr int kQuestionPixels = 13;

}  // namespace

CConfirmCancelDlg::CConfirmCancelDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("confirmCancel"));
    setWindowTitle(QString::fromStdWString(text(dialog_text_id(kTemplate, 0))));
    setFont(page_font(kDialogFontPixels));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(scaled(24), scaled(20), scaled(24), scaled(18));
    layout->setSpacing(scaled(16));
    auto* question = new CMarkupLabel;
    question->setObjectName(control_name(kIdQuestion));
    question->set_base_pixel_size(kQuestionPixels);
    question->set_markup(text(dialog_text_id(kTemplate, kIdQuestion)));
    question->setMinimumWidth(scaled(300));
    layout->addWidget(question);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (const int id : {kYes, kNo}) {
        auto* button = new QPushButton(QString::fromStdWString(
            text(dialog_text_id(kTemplate, static_cast<std::uint32_t>(id)))));
        button->setObjectName(control_name(static_cast<std::uint32_t>(id)));
        button->setMinimumSize(scaled(kButtonWidth), scaled(kButtonHeight));
        // Enter presses the focused button; "No", the safe answer, has the focus first.
        button->setAutoDefault(true);
        button->setDefault(id == kNo);
        connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    findChild<QPushButton*>(control_name(static_cast<std::uint32_t>(kNo)))
        ->setFocus(Qt::OtherFocusReason);
    setFixedSize(sizeHint());
}

void CConfirmCancelDlg::reject() {
    done(kClosed);
}

}  // namespace atlasync::ui
