#include "hud_test_support.h"

#include "lum_bar_progress_view.h"
#include "lum_round_progress_view.h"

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

TEST(RoundProgressDrawing, ProgressOutsideRangeIsClamped) {
    LumRoundProgressView pie;
    pie.setProgress(1.0f);
    const QImage full = renderView(pie);
    pie.setProgress(1.7f);
    EXPECT_EQ(renderView(pie), full);
    pie.setProgress(0.0f);
    const QImage empty = renderView(pie);
    pie.setProgress(-3.0f);
    EXPECT_EQ(renderView(pie), empty);
    pie.setProgress(std::nanf(""));
    EXPECT_EQ(renderView(pie), empty);

    LumBarProgressView bar;
    bar.setProgress(1.0f);
    const QImage barFull = renderView(bar);
    bar.setProgress(3.0f);
    EXPECT_EQ(renderView(bar), barFull);
    bar.setProgress(0.0f);
    const QImage barEmpty = renderView(bar);
    bar.setProgress(-1.0f);
    EXPECT_EQ(renderView(bar), barEmpty);
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
