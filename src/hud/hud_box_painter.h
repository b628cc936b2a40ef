#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>

class QPainter;

// The overlay's box: a rectangle with four quarter-circle corners, drawn
// clockwise from the top edge. The radius is limited to half the shorter side.
QPainterPath hudBoxPath(const QRectF& box, double cornerRadius);

// The box's origin for a box size centred in the bounds and shifted by the offsets.
QRectF hudBoxRect(const QSizeF& bounds, const QSizeF& boxSize, double xOffset, double yOffset);

// Radial dimming over the whole bounds: clear in the middle, black at 0.75
// alpha from the shorter side's length outwards.
void paintHudDimming(QPainter& painter, const QSizeF& bounds);
