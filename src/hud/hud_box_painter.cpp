#include "hud_box_painter.h"

#include "hud_layout.h"

#include <QPainter>
#include <QRadialGradient>

#include <algorithm>

QPainterPath hudBoxPath(const QRectF& box, double cornerRadius) {
    const double r = std::clamp(cornerRadius, 0.0, std::min(box.width(), box.height()) / 2);
    const double d = 2 * r;
    QPainterPath path(QPointF(box.left() + r, box.top()));
    path.arcTo(QRectF(box.right() - d, box.top(), d, d), 90, -90);
    path.arcTo(QRectF(box.right() - d, box.bottom() - d, d, d), 0, -90);
    path.arcTo(QRectF(box.left(), box.bottom() - d, d, d), 270, -90);
    path.arcTo(QRectF(box.left(), box.top(), d, d), 180, -90);
    path.closeSubpath();
    return path;
}

QRectF hudBoxRect(const QSizeF& bounds, const QSizeF& boxSize, double xOffset, double yOffset) {
    const double x = roundHalfAway((bounds.width() - boxSize.width()) / 2) + xOffset;
    const double y = roundHalfAway((bounds.height() - boxSize.height()) / 2) + yOffset;
    return {QPointF(x, y), boxSize};
}

void paintHudDimming(QPainter& painter, const QSizeF& bounds) {
    const QPointF centre(bounds.width() / 2, bounds.height() / 2);
    QRadialGradient gradient(centre, std::min(bounds.width(), bounds.height()));
    gradient.setColorAt(0.0, QColor(0, 0, 0, 0));
    gradient.setColorAt(1.0, QColor::fromRgbF(0, 0, 0, 0.75f));
    gradient.setSpread(QGradient::PadSpread);
    painter.fillRect(QRectF(QPointF(0, 0), bounds), gradient);
}
