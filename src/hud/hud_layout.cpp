#include "hud_layout.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

double roundHalfAway(double value) {
    return std::round(value);
}

QSizeF singleLineSize(const QString& text, const QFont& font) {
    if (text.isEmpty())
        return {0.0, 0.0};
    const QFontMetricsF metrics(font);
    const QSizeF s = metrics.size(Qt::TextSingleLine, text);
    return {std::ceil(s.width()), std::ceil(s.height())};
}

QSizeF wrappedSize(const QString& text, const QFont& font, double maxWidth, double maxHeight) {
    if (text.isEmpty() || maxWidth <= 0 || maxHeight <= 0)
        return {0.0, 0.0};
    const QFontMetricsF metrics(font);
    const QRectF needed = metrics.boundingRect(QRectF(0, 0, maxWidth, 1e6),
                                               Qt::TextWordWrap | Qt::AlignHCenter, text);
    double height = std::ceil(needed.height());
    if (height > maxHeight) {
        const double lineStep = metrics.lineSpacing();
        const double lines = std::floor((maxHeight + metrics.leading()) / lineStep);
        height =
            lines > 0 ? std::min(maxHeight, std::ceil(lines * lineStep - metrics.leading())) : 0;
    }
    if (height <= 0)
        return {0.0, 0.0};
    return {std::min(maxWidth, std::ceil(needed.width())), height};
}

namespace {

QRectF centredAt(double y, const QSizeF& size, const HudLayoutInput& in) {
    const double x = roundHalfAway((in.bounds.width() - size.width()) / 2) + in.xOffset;
    return {x, y, size.width(), size.height()};
}

} // namespace

HudLayout layoutHUD(const HudLayoutInput& in) {
    const double w = in.bounds.width();
    const double h = in.bounds.height();
    const double maxWidth = std::max(0.0, w - 4 * in.margin);
    QSizeF total(0, 0);

    QSizeF indicator = in.indicatorSize.isValid() ? in.indicatorSize : QSizeF(0, 0);
    indicator.setWidth(std::min(indicator.width(), maxWidth));
    total.setWidth(std::max(total.width(), indicator.width()));
    total.rheight() += indicator.height();
    const bool hasIndicator = indicator.height() > 0;

    QSizeF label = singleLineSize(in.labelText, in.labelFont);
    label.setWidth(std::min(label.width(), maxWidth));
    total.setWidth(std::max(total.width(), label.width()));
    total.rheight() += label.height();
    const bool hasLabel = label.height() > 0;
    if (hasLabel && hasIndicator)
        total.rheight() += kHudSpacing;

    const double remaining = h - total.height() - kHudSpacing - 4 * in.margin;
    const QSizeF details = wrappedSize(in.detailsText, in.detailsFont, maxWidth, remaining);
    total.setWidth(std::max(total.width(), details.width()));
    total.rheight() += details.height();
    const bool hasDetails = details.height() > 0;
    if (hasDetails && (hasIndicator || hasLabel))
        total.rheight() += kHudSpacing;

    total += QSizeF(2 * in.margin, 2 * in.margin);

    HudLayout out;
    double y = roundHalfAway((h - total.height()) / 2) + in.margin + in.yOffset;
    out.indicatorFrame = centredAt(y, indicator, in);
    y += indicator.height();
    if (hasLabel && hasIndicator)
        y += kHudSpacing;
    out.labelFrame = centredAt(y, label, in);
    y += label.height();
    if (hasDetails && (hasIndicator || hasLabel))
        y += kHudSpacing;
    out.detailsFrame = centredAt(y, details, in);

    if (in.square) {
        const double side = std::max(total.width(), total.height());
        if (side <= w - 2 * in.margin)
            total.setWidth(side);
        if (side <= h - 2 * in.margin)
            total.setHeight(side);
    }
    out.size = total.expandedTo(in.minSize);
    return out;
}
