#include "hud_test_support.h"

#include "activity_spinner.h"
#include "hud_box_painter.h"
#include "lum_bar_progress_view.h"
#include "lum_round_progress_view.h"

#include <gtest/gtest.h>

#include <cmath>

using hudtest::makeHost;
using hudtest::renderHUD;

namespace {

template <class View> QImage renderView(const View& view) {
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    view.paint(painter);
    return image;
}

int alphaAt(const QImage& image, int x, int y) {
    return image.pixelColor(x, y).alpha();
}

// A shown overlay of the given mode on a fresh host.
struct Shown {
    std::unique_ptr<QWidget> host = makeHost(320, 480);
    LumProgressHUD* hud;
    explicit Shown(int mode, const QString& label = QString()) {
        hud = LumProgressHUD::showHUDAddedTo(host.get(), false);
        hud->setMode(mode);
        hud->setLabelText(label);
    }
};

bool allFinite(const QPainterPath& path) {
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (!std::isfinite(e.x) || !std::isfinite(e.y))
            return false;
    }
    return true;
}

} // namespace

TEST(HudDrawing, BoxIsBlackAtTheOpacityWithRoundedCorners) {
    Shown s(LumProgressHUD::ModeSpinner);
    const QImage image = renderHUD(*s.hud);
    const QRect box = s.hud->boxRect().toRect();
    ASSERT_EQ(box, QRect(122, 202, 77, 77));

    // Inside the margin, away from the spinner.
    const QColor inside = image.pixelColor(box.left() + 5, box.center().y());
    EXPECT_EQ(inside.red(), 0);
    EXPECT_NEAR(inside.alpha(), 204, 1) << "0.8 of full";
    EXPECT_EQ(alphaAt(image, box.left() - 2, box.center().y()), 0) << "nothing outside the box";
    // The corner is cut by the 10-point radius; the edge next to it is not.
    EXPECT_EQ(alphaAt(image, box.left(), box.top()), 0);
    EXPECT_NEAR(alphaAt(image, box.left() + 12, box.top()), 204, 1);

    s.hud->setColor(QColor(200, 0, 0, 128));
    const QColor coloured = renderHUD(*s.hud).pixelColor(box.left() + 5, box.center().y());
    EXPECT_NEAR(coloured.red(), 200, 2);
    EXPECT_NEAR(coloured.alpha(), 128, 1) << "a colour replaces the opacity";
}

TEST(HudDrawing, DimmedBackgroundDarkensTowardsTheEdges) {
    Shown s(LumProgressHUD::ModeSpinner, "Restoration in progress...");
    s.hud->setDimBackground(true);
    const QImage image = renderHUD(*s.hud);
    // Gradient radius min(320, 480) = 320 around (160, 240).
    const auto expected = [](double distance) { return 0.75 * 255 * distance / 320; };
    EXPECT_NEAR(alphaAt(image, 160, 10), expected(230), 6);
    EXPECT_NEAR(alphaAt(image, 0, 0), expected(std::hypot(160, 240)), 6);
}

TEST(HudDrawing, SpinnerIsDrawnInTheIndicatorColour) {
    Shown s(LumProgressHUD::ModeSpinner);
    s.hud->setActivityIndicatorColor(QColor(255, 0, 0));
    const QImage image = renderHUD(*s.hud);
    const QRect frame = s.hud->indicatorFrame().toRect();
    int red = 0;
    for (int y = frame.top(); y <= frame.bottom(); ++y)
        for (int x = frame.left(); x <= frame.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 60 ? 1 : 0;
        }
    EXPECT_GT(red, 20);
}

TEST(HudDrawing, ProgressInSpinnerModeChangesNothingOnScreen) {
    Shown s(LumProgressHUD::ModeSpinner, "Safeguard in progress...");
    const QImage before = renderHUD(*s.hud);
    s.hud->setProgress(0.7f);
    EXPECT_EQ(renderHUD(*s.hud), before);
}

TEST(RoundProgressDrawing, PieFillsTheSectorOfTheProgress) {
    LumRoundProgressView pie;
    pie.setProgress(0.25f);
    const QImage image = renderView(pie);
    // Centre (18.5, 18.5); a quarter is the upper right quadrant.
    EXPECT_EQ(alphaAt(image, 26, 10), 255);
    EXPECT_NEAR(alphaAt(image, 10, 10), 26, 2) << "background tint, white at 0.1";
    EXPECT_NEAR(alphaAt(image, 26, 27), 26, 2);
    EXPECT_EQ(alphaAt(image, 0, 0), 0);
    // Outline in the progress tint at the inset circle (radius 16.5).
    EXPECT_GT(alphaAt(image, 18, 2), 150);

    pie.setProgress(0.75f);
    const QImage threeQuarters = renderView(pie);
    EXPECT_EQ(alphaAt(threeQuarters, 10, 27), 255);
    EXPECT_NEAR(alphaAt(threeQuarters, 10, 10), 26, 2);
}

TEST(RoundProgressDrawing, RingStrokesTheArcOfTheProgress) {
    LumRoundProgressView ring;
    ring.setAnnular(true);
    ring.setProgress(0.25f);
    const QImage image = renderView(ring);
    // Radius (37 - 2) / 2 = 17.5 around (18.5, 18.5); 45 degrees right of the top.
    EXPECT_GT(alphaAt(image, 31, 6), 180);
    EXPECT_LT(alphaAt(image, 6, 31), 60) << "background tint only";
    EXPECT_EQ(alphaAt(image, 18, 18), 0) << "a ring has no fill";

    // Full ring: a 2-point line at radius 17.5, or on older platforms a 5-point
    // line at radius 16, which reaches 3 points further in.
    ring.setProgress(1.0f);
    const QImage modern = renderView(ring);
    EXPECT_GT(alphaAt(modern, 18, 35), 180);
    EXPECT_EQ(alphaAt(modern, 18, 33), 0);
    ring.setFoundationVersionNumber(800.0);
    EXPECT_GT(alphaAt(renderView(ring), 18, 33), 180);
    EXPECT_EQ(annularStroke(847.1).progressCap, Qt::RoundCap);
    EXPECT_EQ(annularStroke(847.2).width, 2.0);
}

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
}

// The bar is 120 x 20: outline inset 2, fill inset 4, fill cap radius 6, right
// cap centre at x = 110. Alpha at points of the drawn bar, per progress.
TEST(BarProgressDrawing, FillFollowsTheProgressWithRoundCapsAndClamps) {
    struct Point {
        float progress;
        int x, y;
        int minAlpha, maxAlpha;
        const char* why;
    };
    const Point points[] = {
        {0.0f, 6, 10, 0, 0, "zero fills nothing"},
        {0.0f, 60, 10, 0, 0, "zero fills nothing"},
        {0.0f, 60, 2, 255, 255, "the outline is drawn"},
        {0.01f, 6, 10, 255, 255, "a tiny fill is the whole left cap"},
        {0.01f, 9, 10, 255, 255, "the whole cap up to x = 10"},
        {0.01f, 12, 10, 0, 0, "nothing after the cap"},
        {0.5f, 59, 4, 255, 255, "half: a straight edge at 60"},
        {0.5f, 59, 15, 255, 255, "half: a straight edge at 60"},
        {0.5f, 61, 10, 0, 0, "half: a straight edge at 60"},
        {0.95f, 112, 10, 255, 255, "4 points into the right cap"},
        {0.95f, 115, 10, 0, 0, "4 points into the right cap"},
        {0.95f, 113, 4, 0, 39, "the cap is round, not square"},
        {1.0f, 114, 10, 255, 255, "full"},
        {1.0f, 112, 6, 255, 255, "inside the right cap"},
        {1.0f, 5, 10, 255, 255, "full"},
        {-1.0f, 6, 10, 0, 0, "below zero is zero"},
    };
    for (const Point& p : points) {
        SCOPED_TRACE(testing::Message()
                     << p.progress << " at " << p.x << "," << p.y << ": " << p.why);
        LumBarProgressView bar;
        bar.setProgress(p.progress);
        const int alpha = alphaAt(renderView(bar), p.x, p.y);
        EXPECT_GE(alpha, p.minAlpha);
        EXPECT_LE(alpha, p.maxAlpha);
    }
    LumBarProgressView bar;
    bar.setProgress(1.0f);
    const QImage full = renderView(bar);
    bar.setProgress(3.0f);
    EXPECT_EQ(renderView(bar), full);
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
