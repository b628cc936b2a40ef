#pragma once

#include <QWidget>

class QPainter;

// Base of the overlay's own indicators. Each draws itself through paint(), so
// the overlay can draw it inside its faded, scaled layer as well as on its own.
class HudIndicatorView : public QWidget {
    Q_OBJECT
public:
    explicit HudIndicatorView(const QSize& defaultSize, QWidget* parent = nullptr);

    // Draws the view in its own coordinates (origin at its top-left corner).
    virtual void paint(QPainter& painter) const = 0;

signals:
    // Emitted whenever the view's look changed; the overlay redraws on it.
    void displayNeeded();

protected:
    void requestDisplay();
    void paintEvent(QPaintEvent* event) override;
};
