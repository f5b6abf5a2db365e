#include "ui/pages/about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/controls/bundled_fonts.h"
#include "ui/controls/resources.h"
#include "ui/pages/version_info.h"
#include "ui/pages/wiz_page.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    use_resources();
    setObjectName(QStringLiteral("about"));
    const QString product = QString::fromUtf8(kProgramProductName);
    // The menu's own words name the box, in the language in use.
    QString title = accessible_text(QString::fromStdWString(text(kTextAboutMenu)));
    if (title.endsWith(QStringLiteral("..."))) {
        title.chop(3);
    }
    setWindowTitle(title);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(16);
    auto* icon = new QLabel;
    icon->setPixmap(QPixmap(QStringLiteral(":/images/atlasync.png")));
    layout->addWidget(icon, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    auto* name =
        new QLabel(QStringLiteral("%1 %2").arg(product, QString::fromUtf8(kProgramVersion)));
    name->setObjectName(QStringLiteral("productName"));
    QFont font = name->font();
    font.setPixelSize(scaled(15));
    font.setWeight(QFont::DemiBold);
    name->setFont(font);
    texts->addWidget(name);
    auto* notice = new QLabel(QString::fromUtf8(kProgramLegalCopyright));
    notice->setObjectName(QStringLiteral("legalNotice"));
    notice->setWordWrap(true);
    texts->addWidget(notice);
    // Qt's own button: its text follows the language's Qt translation.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setDefault(true);
    ok->setMinimumSize(scaled(80), scaled(29));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    texts->addWidget(buttons, 0, Qt::AlignRight);
    layout->addLayout(texts, 1);
    setFixedSize(std::max(scaled(420), sizeHint().width()), sizeHint().height());
}

}  // namespace atlasync::ui
