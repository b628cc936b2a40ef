#pragma once

#include "hud_indicator_view.h"

#include <QColor>
#include <QPainterPath>

// The capsule outline of the bar, inset by 2 points.
QPainterPath lumBarOutlinePath(const QSizeF& bounds);
// The filled part for a progress (clamped to [0, 1]), inset by 4 points. Its
// right end is straight in the body and follows the right cap near full.
QPainterPath lumBarFillPath(const QSizeF& bounds, double progress);

// Horizontal determinate indicator.
class LumBarProgressView : public HudIndicatorView {
    Q_OBJECT
public:
    static constexpr int kWidth = 120;
    static constexpr int kHeight = 20;

    explicit LumBarProgressView(QWidget* parent = nullptr);

    float progress() const { return m_progress; }
    void setProgress(float progress);
    QColor lineColor() const { return m_lineColor; }
    void setLineColor(const QColor& color);
    QColor progressColor() const { return m_progressColor; }
    void setProgressColor(const QColor& color);
    QColor progressRemainingColor() const { return m_progressRemainingColor; }
    void setProgressRemainingColor(const QColor& color);

    void paint(QPainter& painter) const override;

private:
    float m_progress = 0.0f;
    QColor m_lineColor = Qt::white;
    QColor m_progressColor = Qt::white;
    QColor m_progressRemainingColor = Qt::transparent;
};
