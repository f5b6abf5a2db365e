#include "ui/controls/busy_animation.h"

#include <QPainter>
#include <cmath>
#include <numbers>

namespace atlasync::ui {

CBusyAnimation::CBusyAnimation(QWidget* parent) : QWidget(parent) {
    m_timer.setInterval(kStepMs);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kDots;
        update();
    });
}

void CBusyAnimation::start() {
    m_timer.start();
}

void CBusyAnimation::stop() {
    m_timer.stop();
    update();
}

void CBusyAnimation::paintEvent(QPaintEvent*) {
    if (!running()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QPointF centre = QRectF(rect()).center();
    const double side = std::min(width(), height());
    const double radius = side * 0.38;
    const double dot = side * 0.09;
    const QColor lit = palette().color(QPalette::Highlight);
    for (int i = 0; i < kDots; ++i) {
        // Dots behind the lit one fade out, so the ring seems to turn.
        const int age = (m_step - i + kDots) % kDots;
        QColor colour = lit;
        colour.setAlphaF(std::max(0.15, 1.0 - age / static_cast<double>(kDots - 2)));
        painter.setBrush(colour);
        const double angle = 2 * std::numbers::pi * i / kDots;
        const QPointF at = centre + QPointF(std::sin(angle), -std::cos(angle)) * radius;
        painter.drawEllipse(at, dot, dot);
    }
}

}  // namespace atlasync::ui
