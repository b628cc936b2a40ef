#include "tab_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QtMath>
#include <functional>

namespace {

constexpr int kSize = 48; // drawn at twice the shown size
const QColor kOff(0x8e, 0x8e, 0x93);
const QColor kOn(0x0a, 0x60, 0xd0);

using Glyph = std::function<void(QPainter&)>;

QPixmap draw(const Glyph& glyph, const QColor& color) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    glyph(painter);
    return pixmap;
}

QIcon icon(const Glyph& glyph) {
    QIcon result;
    result.addPixmap(draw(glyph, kOff), QIcon::Normal, QIcon::Off);
    result.addPixmap(draw(glyph, kOn), QIcon::Normal, QIcon::On);
    return result;
}

// A circular arrow turning counter-clockwise, its head drawn filled.
void turningArrow(QPainter& p) {
    constexpr double kStart = 70.0, kSweep = 280.0, kRadius = 13.0;
    p.drawArc(QRectF(24 - kRadius, 24 - kRadius, 2 * kRadius, 2 * kRadius),
              static_cast<int>(kStart * 16), static_cast<int>(kSweep * 16));
    const double end = qDegreesToRadians(kStart + kSweep);
    const QPointF at(24 + kRadius * std::cos(end), 24 - kRadius * std::sin(end));
    const QPointF along(-std::sin(end), -std::cos(end)); // direction of travel
    const QPointF across(-along.y(), along.x());
    QPolygonF head;
    head << at + along * 6 << at - along * 2 + across * 6 << at - along * 2 - across * 6;
    p.save();
    p.setBrush(p.pen().color());
    p.setPen(Qt::NoPen);
    p.drawPolygon(head);
    p.restore();
}

} // namespace

namespace gui::tab_icons {

QIcon safeguard() {
    return icon([](QPainter& p) {
        p.drawRoundedRect(QRectF(8, 18, 32, 22), 3, 3);
        p.drawLine(QPointF(24, 6), QPointF(24, 30));
        p.drawLine(QPointF(24, 30), QPointF(17, 23));
        p.drawLine(QPointF(24, 30), QPointF(31, 23));
    });
}

QIcon restoration() {
    return icon([](QPainter& p) { turningArrow(p); });
}

QIcon options() {
    return icon([](QPainter& p) {
        p.drawEllipse(QPointF(24, 24), 6, 6);
        for (int i = 0; i < 8; ++i) {
            const double a = qDegreesToRadians(45.0 * i);
            p.drawLine(QPointF(24 + 11 * std::cos(a), 24 + 11 * std::sin(a)),
                       QPointF(24 + 17 * std::cos(a), 24 + 17 * std::sin(a)));
        }
        p.drawEllipse(QPointF(24, 24), 12, 12);
    });
}

QIcon cloud() {
    return icon([](QPainter& p) {
        QPainterPath path;
        path.moveTo(14, 36);
        path.arcTo(QRectF(5, 22, 16, 14), 270, -180);
        path.arcTo(QRectF(13, 10, 20, 20), 160, -150);
        path.arcTo(QRectF(27, 18, 16, 18), 90, -180);
        path.closeSubpath();
        p.drawPath(path);
    });
}

QIcon help() {
    return icon([](QPainter& p) {
        p.drawEllipse(QPointF(24, 24), 17, 17);
        QPainterPath hook;
        hook.moveTo(18, 19);
        hook.arcTo(QRectF(18, 13, 12, 12), 180, -240);
        hook.quadTo(24, 25, 24, 29);
        p.drawPath(hook);
        p.drawPoint(QPointF(24, 34.5));
    });
}

} // namespace gui::tab_icons
