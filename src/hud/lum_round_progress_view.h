#pragma once

#include "hud_indicator_view.h"

#include <QColor>
#include <QPen>

// Stroke of the annular indicator. Old platforms drew a thicker ring with
// round ends; the threshold is kept so that look can still be produced.
struct AnnularStroke {
    double width;
    Qt::PenCapStyle progressCap;
};
inline constexpr double kAnnularLegacyVersionLimit = 847.2;
AnnularStroke annularStroke(double foundationVersionNumber);

// Round determinate indicator: a pie, or a ring when annular.
class LumRoundProgressView : public HudIndicatorView {
    Q_OBJECT
public:
    static constexpr int kSide = 37;
    // This platform is newer than every version check the drawing knows.
    static constexpr double kCurrentFoundationVersion = 1e9;

    explicit LumRoundProgressView(QWidget* parent = nullptr);

    float progress() const { return m_progress; }
    void setProgress(float progress);
    QColor progressTintColor() const { return m_progressTintColor; }
    void setProgressTintColor(const QColor& color);
    QColor backgroundTintColor() const { return m_backgroundTintColor; }
    void setBackgroundTintColor(const QColor& color);
    bool isAnnular() const { return m_annular; }
    void setAnnular(bool annular);

    double foundationVersionNumber() const { return m_foundationVersion; }
    void setFoundationVersionNumber(double version);

    void paint(QPainter& painter) const override;

private:
    void paintPie(QPainter& painter, double progress) const;
    void paintRing(QPainter& painter, double progress) const;

    float m_progress = 0.0f;
    QColor m_progressTintColor = QColor(255, 255, 255, 255);
    QColor m_backgroundTintColor = QColor::fromRgbF(1, 1, 1, 0.1f);
    bool m_annular = false;
    double m_foundationVersion = kCurrentFoundationVersion;
};

// Progress as drawn: clamped to [0, 1], with anything not a number taken as 0.
double clampedProgress(double progress);
