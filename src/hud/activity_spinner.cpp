#include "activity_spinner.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

ActivitySpinner::ActivitySpinner(QWidget* parent) : HudIndicatorView(QSize(kSide, kSide), parent) {
    m_timer.setInterval(1000 / kSpokes);
    connect(&m_timer, &QTimer::timeout, this, &ActivitySpinner::advance);
}

void ActivitySpinner::setColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    requestDisplay();
}

void ActivitySpinner::startAnimating() {
    if (!m_timer.isActive())
        m_timer.start();
}

void ActivitySpinner::stopAnimating() {
    m_timer.stop();
}

void ActivitySpinner::advance() {
    m_phase = (m_phase + 1) % kSpokes;
    requestDisplay();
}

void ActivitySpinner::paint(QPainter& painter) const {
    const double side = std::min(width(), height());
    const double outer = side / 2.0;
    const double inner = outer * 0.5;
    const double thickness = std::max(1.0, side * 0.1);
    // One spoke pointing up, as a filled capsule: filling is much cheaper than
    // stroking a wide line with round ends.
    QPainterPath spoke;
    spoke.addRoundedRect(QRectF(-thickness / 2, -outer, thickness, outer - inner), thickness / 2,
                         thickness / 2);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.translate(width() / 2.0, height() / 2.0);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the phase is the brightest; the ones behind it fade out.
        const int age = (m_phase - i + kSpokes) % kSpokes;
        QColor c = m_color;
        c.setAlphaF(float(m_color.alphaF() * (1.0 - 0.75 * age / (kSpokes - 1))));
        painter.fillPath(spoke, c);
        painter.rotate(360.0 / kSpokes);
    }
    painter.restore();
}
