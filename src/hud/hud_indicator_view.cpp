#include "hud_indicator_view.h"

#include <QPainter>

HudIndicatorView::HudIndicatorView(const QSize& defaultSize, QWidget* parent) : QWidget(parent) {
    resize(defaultSize);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

void HudIndicatorView::requestDisplay() {
    update();
    emit displayNeeded();
}

void HudIndicatorView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
}
