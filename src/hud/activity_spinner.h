#pragma once

#include "hud_indicator_view.h"

#include <QColor>
#include <QTimer>

// The large spinning activity indicator: twelve spokes whose brightness runs
// round once a second.
class ActivitySpinner : public HudIndicatorView {
    Q_OBJECT
public:
    static constexpr int kSpokes = 12;
    static constexpr int kSide = 37;

    explicit ActivitySpinner(QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return m_timer.isActive(); }

    // Index of the brightest spoke, advanced by the animation.
    int phase() const { return m_phase; }

    void paint(QPainter& painter) const override;

private:
    void advance();

    QColor m_color = Qt::white;
    QTimer m_timer;
    int m_phase = 0;
};
