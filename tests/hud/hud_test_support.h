#pragma once

#include "lum_progress_hud.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <memory>
#include <ostream>

namespace hudtest {

// A visible host widget of the given size.
inline std::unique_ptr<QWidget> makeHost(int w = 320, int h = 480) {
    auto host = std::make_unique<QWidget>();
    host->resize(w, h);
    host->QWidget::show();
    return host;
}

// Lets deferred deletions and queued calls run.
inline void drainEvents() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// The overlay as painted, on a transparent image of its size.
inline QImage renderHUD(const LumProgressHUD& hud, QColor background = Qt::transparent) {
    QImage image(hud.width(), hud.height(), QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter painter(&image);
    hud.paintHUD(painter);
    return image;
}

} // namespace hudtest

// Readable failure messages for Qt geometry.
inline void PrintTo(const QSizeF& s, std::ostream* os) {
    *os << s.width() << "x" << s.height();
}
inline void PrintTo(const QRectF& r, std::ostream* os) {
    *os << "(" << r.x() << ", " << r.y() << ") " << r.width() << "x" << r.height();
}
inline void PrintTo(const QRect& r, std::ostream* os) {
    PrintTo(QRectF(r), os);
}
