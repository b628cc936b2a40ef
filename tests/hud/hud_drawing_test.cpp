// What the overlay draws: progress held to its range, the bar's fill near
// the end, and text cut to the lines that fit.
#include "hud_layout.h"
#include "lum_bar_progress_view.h"
#include "lum_round_progress_view.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace {

template <class View> QImage renderView(const View& view) {
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    view.paint(painter);
    return image;
}

bool allFinite(const QPainterPath& path) {
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (!std::isfinite(e.x) || !std::isfinite(e.y))
            return false;
    }
    return true;
}

} // namespace

TEST(ProgressDrawing, ProgressOutsideRangeIsClamped) {
    auto check = [](auto& view) {
        view.setProgress(1.0f);
        const QImage full = renderView(view);
        view.setProgress(0.0f);
        const QImage empty = renderView(view);
        for (float progress : {1.7f, 3.0f}) {
            view.setProgress(progress);
            EXPECT_EQ(renderView(view), full) << progress;
        }
        for (float progress : {-3.0f, std::nanf("")}) {
            view.setProgress(progress);
            EXPECT_EQ(renderView(view), empty) << progress;
        }
    };
    LumRoundProgressView pie;
    check(pie);
    LumBarProgressView bar;
    check(bar);
}

TEST(BarProgressDrawing, FillPathIsFiniteAndInsideTheBarNearAndPastTheEnd) {
    EXPECT_TRUE(lumBarFillPath(QSizeF(120, 20), 0.0).isEmpty());
    for (double progress : {0.95, 0.97, 0.999, 1.0, 1.5}) {
        SCOPED_TRACE(progress);
        const QPainterPath fill = lumBarFillPath(QSizeF(120, 20), progress);
        ASSERT_TRUE(allFinite(fill));
        EXPECT_LE(fill.boundingRect().right(), 116.0 + 1e-9);
        EXPECT_GE(fill.boundingRect().left(), 4.0);
    }
    EXPECT_EQ(lumBarFillPath(QSizeF(120, 20), 1.0).boundingRect(), QRectF(4, 4, 112, 12));
}

TEST(HudLayout, WrappedTextIsCutToTheWholeLinesThatFit) {
    const QFont font;
    const QFontMetricsF metrics(font);
    const QString text =
        QString(
            "Copying the address book, the calendar, the notes and the messages into the library "
            "folder before they are packed into their archives. ")
            .repeated(2);
    const double full = wrappedSize(text, font, 240, 1000).height();
    ASSERT_GT(full, 3 * metrics.lineSpacing());

    const double room = 2.5 * metrics.lineSpacing();
    const double cut = wrappedSize(text, font, 240, room).height();
    EXPECT_LE(cut, room);
    EXPECT_GT(cut, metrics.lineSpacing()) << "two whole lines fit";
    EXPECT_EQ(wrappedSize(text, font, 240, metrics.height() - 1), QSizeF(0, 0))
        << "not even one line fits";
    EXPECT_EQ(wrappedSize(text, font, 0, 100), QSizeF(0, 0));
    EXPECT_EQ(wrappedSize("", font, 240, 100), QSizeF(0, 0));
    EXPECT_EQ(singleLineSize("", font), QSizeF(0, 0));
}
