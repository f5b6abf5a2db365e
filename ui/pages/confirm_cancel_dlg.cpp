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
    setFont(bundled_font(kDialogFontPixels));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(243, 243, 243));
    setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 18);
    layout->setSpacing(16);
    auto* question = new CMarkupLabel;
    question->setObjectName(control_name(kIdQuestion));
    question->set_base_pixel_size(kQuestionPixels);
    question->set_markup(text(dialog_text_id(kTemplate, kIdQuestion)));
    question->setMinimumWidth(300);
    layout->addWidget(question);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (const int id : {kYes, kNo}) {
        auto* button = new QPushButton(QString::fromStdWString(
            text(dialog_text_id(kTemplate, static_cast<std::uint32_t>(id)))));
        button->setObjectName(control_name(static_cast<std::uint32_t>(id)));
        button->setFixedSize(kButtonWidth, kButtonHeight);
        // "No" is the safe answer to an accidental Enter.
        button->setAutoDefault(id == kNo);
        button->setDefault(id == kNo);
        connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void CConfirmCancelDlg::reject() {
    done(kClosed);
}

}  // namespace atlasync::ui
