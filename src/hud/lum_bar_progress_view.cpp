#include "lum_bar_progress_view.h"

#include "lum_round_progress_view.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDegrees = 180.0 / M_PI;

// Square that holds a circle of the given centre and radius.
QRectF circleBox(double cx, double cy, double radius) {
    return QRectF(cx - radius, cy - radius, 2 * radius, 2 * radius);
}

} // namespace

QPainterPath lumBarOutlinePath(const QSizeF& bounds) {
    const double w = bounds.width();
    const double h = bounds.height();
    const double r = std::max(0.0, h / 2 - 2);
    const QRectF left = circleBox(2 + r, h / 2, r);
    const QRectF right = circleBox(w - 2 - r, h / 2, r);

    QPainterPath path(QPointF(2, h / 2));
    path.arcTo(left, 180, -90);
    path.lineTo(w - r - 2, 2);
    path.arcTo(right, 90, -90);
    path.arcTo(right, 0, -90);
    path.lineTo(r + 2, h - 2);
    path.arcTo(left, 270, -90);
    path.closeSubpath();
    return path;
}

QPainterPath lumBarFillPath(const QSizeF& bounds, double progress) {
    const double w = bounds.width();
    const double h = bounds.height();
    const double q = std::max(0.0, h / 2 - 4);
    const double a = clampedProgress(progress) * w;
    const double mid = h / 2;
    const QRectF leftCap = circleBox(4 + q, mid, q);
    const double capCentre = w - q - 4;

    QPainterPath path;
    if (a <= 0.0)
        return path;

    if (a >= q + 4 && a <= capCentre) {
        // Body with a straight right edge at a.
        path.moveTo(4, mid);
        path.arcTo(leftCap, 180, -90);
        path.lineTo(a, 4);
        path.lineTo(a, mid);
        path.closeSubpath();
        path.moveTo(4, mid);
        path.arcTo(leftCap, 180, 90);
        path.lineTo(a, h - 4);
        path.lineTo(a, mid);
        path.closeSubpath();
    } else if (a > capCentre) {
        // Into the right cap: follow the circle up to x = a. The cosine is
        // clamped because a may pass the cap's far edge (progress near 1).
        const double cosine = q > 0 ? std::clamp((a - capCentre) / q, -1.0, 1.0) : 1.0;
        const double angle = std::acos(cosine) * kDegrees;
        const double end = std::min(a, capCentre + q);
        const QRectF rightCap = circleBox(capCentre, mid, q);
        path.moveTo(4, mid);
        path.arcTo(leftCap, 180, -90);
        path.lineTo(capCentre, 4);
        path.arcTo(rightCap, 90, angle - 90);
        path.lineTo(end, mid);
        path.closeSubpath();
        path.moveTo(4, mid);
        path.arcTo(leftCap, 180, 90);
        path.lineTo(capCentre, h - 4);
        path.arcTo(rightCap, 270, 90 - angle);
        path.lineTo(end, mid);
        path.closeSubpath();
    } else {
        // Below the left cap's width the whole cap is shown.
        path.moveTo(4, mid);
        path.arcTo(leftCap, 180, -90);
        path.lineTo(q + 4, mid);
        path.closeSubpath();
        path.moveTo(4, mid);
        path.arcTo(leftCap, 180, 90);
        path.lineTo(q + 4, mid);
        path.closeSubpath();
    }
    return path;
}

LumBarProgressView::LumBarProgressView(QWidget* parent)
    : HudIndicatorView(QSize(kWidth, kHeight), parent) {}

void LumBarProgressView::setProgress(float progress) {
    m_progress = progress;
    requestDisplay();
}

void LumBarProgressView::setLineColor(const QColor& color) {
    m_lineColor = color;
    requestDisplay();
}

void LumBarProgressView::setProgressColor(const QColor& color) {
    m_progressColor = color;
    requestDisplay();
}

void LumBarProgressView::setProgressRemainingColor(const QColor& color) {
    m_progressRemainingColor = color;
    requestDisplay();
}

void LumBarProgressView::paint(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QSizeF bounds = size();
    const QPainterPath outline = lumBarOutlinePath(bounds);
    painter.fillPath(outline, m_progressRemainingColor);
    painter.strokePath(outline, QPen(m_lineColor, 2.0));
    painter.fillPath(lumBarFillPath(bounds, m_progress), m_progressColor);
    painter.restore();
}
