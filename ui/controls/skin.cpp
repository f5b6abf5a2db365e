#include "ui/controls/skin.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QRegularExpression>

#include "service/core/trace.h"
#include "ui/controls/bundled_fonts.h"
#include "ui/controls/resources.h"

namespace atlasync::ui {

namespace {

// The sheet's pixel sizes at the user's font size.
QString scale_pixels(const QString& sheet) {
    static const QRegularExpression kPixels(QStringLiteral(R"((\d+)px)"));
    QString out;
    qsizetype last = 0;
    for (auto it = kPixels.globalMatch(sheet); it.hasNext();) {
        const auto match = it.next();
        out += sheet.mid(last, match.capturedStart() - last);
        out += QStringLiteral("%1px").arg(scaled(match.captured(1).toInt()));
        last = match.capturedEnd();
    }
    return out + sheet.mid(last);
}

}  // namespace

bool light_theme(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() >= 128;
}

CSkin::CSkin(QApplication& application)
    : m_application(application), m_previous(application.styleSheet()) {
    use_resources();
    QFile sheet(QString::fromLatin1(kResource));
    if (!sheet.open(QIODevice::ReadOnly | QIODevice::Text)) {
        MapsService::TraceError("the skin %s is missing", kResource);
        return;
    }
    m_application.setStyleSheet(scale_pixels(QString::fromUtf8(sheet.readAll())));
    m_applied = true;
}

CSkin::~CSkin() {
    if (m_applied) {
        m_application.setStyleSheet(m_previous);
    }
}

}  // namespace atlasync::ui
