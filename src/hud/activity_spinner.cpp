#include "activity_spinner.h"

#include <QPainter>

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

void ActivitySpinner::stopAnimating() { m_timer.stop(); }

void ActivitySpinner::advance() {
    m_phase = (m_phase + 1) % kSpokes;
    requestDisplay();
}

void ActivitySpinner::paint(QPainter& painter) const {
    const double side = std::min(width(), height());
    const double outer = side / 2.0;
    const double inner = outer * 0.5;
    const double thickness = std::max(1.0, side * 0.1);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the phase is the brightest; the ones behind it fade out.
        const int age = (m_phase - i + kSpokes) % kSpokes;
        QColor c = m_color;
        c.setAlphaF(float(m_color.alphaF() * (1.0 - 0.75 * age / (kSpokes - 1))));
        QPen pen(c, thickness, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        const double angle = -M_PI / 2 + i * 2 * M_PI / kSpokes;
        const double inset = thickness / 2;
        painter.drawLine(QPointF(std::cos(angle) * inner, std::sin(angle) * inner),
                         QPointF(std::cos(angle) * (outer - inset), std::sin(angle) * (outer - inset)));
    }
    painter.restore();
}
