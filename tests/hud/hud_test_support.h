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
