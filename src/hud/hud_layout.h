#pragma once

#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>

// Gap between the indicator, the label and the details label.
inline constexpr double kHudSpacing = 4.0;

struct HudLayoutInput {
    QSizeF bounds; // the overlay's bounds (W, H)
    double margin = 20.0;
    double xOffset = 0.0;
    double yOffset = 0.0;
    QSizeF indicatorSize; // empty without an indicator
    QString labelText;
    QFont labelFont;
    QString detailsText;
    QFont detailsFont;
    bool square = false;
    QSizeF minSize;
};

struct HudLayout {
    QRectF indicatorFrame;
    QRectF labelFrame;
    QRectF detailsFrame;
    QSizeF size; // the box size
};

// Places the content from top to bottom in the middle of the bounds and
// computes the box size around it.
HudLayout layoutHUD(const HudLayoutInput& input);

// Size of one line of text (zero for an empty text), in whole points.
QSizeF singleLineSize(const QString& text, const QFont& font);
// Size of word-wrapped text within a width, cut to the whole lines that fit in
// the height (zero for an empty text), in whole points.
QSizeF wrappedSize(const QString& text, const QFont& font, double maxWidth, double maxHeight);

// Rounds halves away from zero.
double roundHalfAway(double value);
