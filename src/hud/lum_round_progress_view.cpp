#include "lum_round_progress_view.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

double clampedProgress(double progress) {
    if (std::isnan(progress))
        return 0.0;
    return std::clamp(progress, 0.0, 1.0);
}

AnnularStroke annularStroke(double foundationVersionNumber) {
    if (foundationVersionNumber < kAnnularLegacyVersionLimit)
        return {5.0, Qt::RoundCap};
    return {2.0, Qt::SquareCap};
}

LumRoundProgressView::LumRoundProgressView(QWidget* parent)
    : HudIndicatorView(QSize(kSide, kSide), parent) {}

void LumRoundProgressView::setProgress(float progress) {
    m_progress = progress;
    requestDisplay();
}

void LumRoundProgressView::setProgressTintColor(const QColor& color) {
    m_progressTintColor = color;
    requestDisplay();
}

void LumRoundProgressView::setBackgroundTintColor(const QColor& color) {
    m_backgroundTintColor = color;
    requestDisplay();
}

void LumRoundProgressView::setAnnular(bool annular) {
    m_annular = annular;
    requestDisplay();
}

void LumRoundProgressView::setFoundationVersionNumber(double version) {
    m_foundationVersion = version;
    requestDisplay();
}

void LumRoundProgressView::paint(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double progress = clampedProgress(m_progress);
    if (m_annular)
        paintRing(painter, progress);
    else
        paintPie(painter, progress);
    painter.restore();
}

void LumRoundProgressView::paintPie(QPainter& painter, double progress) const {
    const double w = width();
    const double h = height();
    const QRectF circle = QRectF(0, 0, w, h).adjusted(2, 2, -2, -2);
    painter.setPen(QPen(m_progressTintColor, 2.0));
    painter.setBrush(m_backgroundTintColor);
    painter.drawEllipse(circle);

    if (progress <= 0.0)
        return;
    // Sector from twelve o'clock, clockwise on screen.
    const QPointF centre(w / 2, h / 2);
    const double radius = (w - 4) / 2;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath sector(centre);
    sector.arcTo(box, 90.0, -progress * 360.0);
    sector.closeSubpath();
    painter.fillPath(sector, QColor(255, 255, 255, 255));
}

void LumRoundProgressView::paintRing(QPainter& painter, double progress) const {
    const AnnularStroke stroke = annularStroke(m_foundationVersion);
    const double w = width();
    const double h = height();
    const QPointF centre(w / 2, h / 2);
    const double radius = std::max(0.0, (w - stroke.width) / 2);
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    painter.setBrush(Qt::NoBrush);

    painter.setPen(QPen(m_backgroundTintColor, stroke.width, Qt::SolidLine, Qt::FlatCap));
    painter.drawEllipse(box);

    if (progress <= 0.0)
        return;
    QPainterPath arc;
    arc.arcMoveTo(box, 90.0);
    arc.arcTo(box, 90.0, -progress * 360.0);
    painter.setPen(QPen(m_progressTintColor, stroke.width, Qt::SolidLine, stroke.progressCap));
    painter.drawPath(arc);
}
