#include "ui/pages/splash_dlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include "ui/controls/bundled_fonts.h"
#include "ui/controls/resources.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {

namespace {

constexpr QPoint kTaglineAt{42, 168};
const QColor kBetaColour = QColor::fromRgba(0xFEFF0000);

}  // namespace

CSplashDlg::CSplashDlg(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    use_resources();
    setObjectName(QStringLiteral("splash"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(QString::fromStdWString(text(kTextAnotherInstanceCaption)));
    QImage image(QString::fromLatin1(kImage));
    if (image.isNull()) {
        // Without the picture the window keeps its plain size and shows nothing.
        resize(460, 300);
        return;
    }
    m_image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&m_image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setPen(Qt::white);
        painter.setFont(bundled_font(kTaglinePixels, kSemiBoldWeight));
        const QString tagline = QString::fromStdWString(text(kTextSplashLine));
        // One line: a tagline too long for the picture is cut, never wrapped.
        const int room = m_image.width() - kTaglineAt.x() - 20;
        painter.drawText(QRect(kTaglineAt, QSize(room, kTaglinePixels * 2)),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         painter.fontMetrics().elidedText(tagline, Qt::ElideRight, room));
        painter.setPen(kBetaColour);
        painter.setFont(bundled_font(kBetaPixels, kSemiBoldWeight));
        painter.drawText(QRect(kBetaAt, QSize(200, kBetaPixels * 2)), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("beta"));
    }
    setFixedSize(m_image.size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void CSplashDlg::on_language_request(std::function<void()> request) {
    m_languageRequest = std::move(request);
}

void CSplashDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_L && m_languageRequest) {
        m_languageRequest();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CSplashDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, m_image);
}

}  // namespace atlasync::ui
