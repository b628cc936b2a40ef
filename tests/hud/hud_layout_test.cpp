#include "hud_test_support.h"

#include "hud_layout.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

#include <cmath>

using hudtest::makeHost;

namespace {

const QString kLabel = QStringLiteral("Safeguard in progress...");
const QString kDetails = QStringLiteral(
    "Copying the address book, the calendar, the notes and the messages into the library "
    "folder before they are packed into their archives.");

// One line of text as the tests measure it: the font's advance and height,
// rounded up to whole points.
QSizeF lineSize(const QString& text, const QFont& font) {
    const QFontMetricsF metrics(font);
    return {std::ceil(metrics.horizontalAdvance(text)), std::ceil(metrics.height())};
}

struct Fixture {
    std::unique_ptr<QWidget> host;
    LumProgressHUD* hud;

    explicit Fixture(int w = 320, int h = 480, int mode = LumProgressHUD::ModeSpinner)
        : host(makeHost(w, h)), hud(LumProgressHUD::showHUDAddedTo(host.get(), false)) {
        hud->setMode(mode);
    }
};

} // namespace

TEST(HudLayout, SpinnerWithoutLabelTakesNoRoomForIt) {
    Fixture f;
    f.hud->setLabelText("");
    EXPECT_EQ(f.hud->size(), QSizeF(77, 77));
    // (320 - 37) / 2 = 141.5 rounds to 142; (480 - 77) / 2 = 201.5 rounds to 202, + margin.
    EXPECT_EQ(f.hud->indicatorFrame(), QRectF(142, 222, 37, 37));
    EXPECT_EQ(f.hud->labelFrame().height(), 0);
}

TEST(HudLayout, SpinnerAndLabelAreStackedWithTheSpacing) {
    Fixture f;
    f.hud->setLabelText(kLabel);
    const QSizeF label = lineSize(kLabel, f.hud->labelFont());
    const double width = std::max(37.0, label.width()) + 40;
    const double height = 37 + 4 + label.height() + 40;
    EXPECT_EQ(f.hud->size(), QSizeF(width, height));

    const double top = std::round((480 - height) / 2) + 20;
    EXPECT_EQ(f.hud->indicatorFrame(), QRectF(142, top, 37, 37));
    EXPECT_EQ(f.hud->labelFrame(), QRectF(std::round((320 - label.width()) / 2), top + 37 + 4,
                                          label.width(), label.height()));

    // Details below the label, after a second spacing.
    f.hud->setDetailsLabelText("Accounts.zip");
    const QSizeF details = lineSize("Accounts.zip", f.hud->detailsLabelFont());
    const double withDetails = height + details.height() + 4;
    EXPECT_EQ(f.hud->size().height(), withDetails);
    EXPECT_EQ(f.hud->detailsLabelFrame().top(),
              std::round((480 - withDetails) / 2) + 20 + 37 + 4 + label.height() + 4);
}

TEST(HudLayout, TextOnlyDetailsWrapWithinTheMaximumWidth) {
    Fixture f(320, 480, LumProgressHUD::ModeText);
    f.hud->setDetailsLabelText(kDetails);
    const double maxWidth = 320 - 4 * 20;
    const QFontMetricsF metrics(f.hud->detailsLabelFont());
    const QRectF wrapped =
        metrics.boundingRect(QRectF(0, 0, maxWidth, 1000), Qt::TextWordWrap, kDetails);
    const QSizeF details(std::ceil(wrapped.width()), std::ceil(wrapped.height()));
    ASSERT_LE(details.width(), maxWidth);
    ASSERT_GT(details.height(), 2 * metrics.height()) << "the text should take several lines";

    // No indicator and no label: no spacing above the details.
    EXPECT_EQ(f.hud->size(), details + QSizeF(40, 40));
    const double top = std::round((480 - details.height() - 40) / 2) + 20;
    EXPECT_EQ(f.hud->detailsLabelFrame(), QRectF(std::round((320 - details.width()) / 2), top,
                                                 details.width(), details.height()));
}

TEST(HudLayout, DetailsAreCutToTheLinesThatFitTheHeight) {
    Fixture f(320, 140, LumProgressHUD::ModeText);
    f.hud->setDetailsLabelText(kDetails + " " + kDetails);
    // 140 - 0 - 4 - 4 * 20 = 56 points remain for the details.
    const double height = f.hud->detailsLabelFrame().height();
    EXPECT_GT(height, 0);
    EXPECT_LE(height, 56);
    const QFontMetricsF metrics(f.hud->detailsLabelFont());
    const double lines = std::floor((56 + metrics.leading()) / metrics.lineSpacing());
    EXPECT_EQ(height, std::ceil(lines * metrics.lineSpacing() - metrics.leading()));
}

TEST(HudLayout, LongLabelAndWideIndicatorAreLimitedToTheMaximumWidth) {
    Fixture f(150, 300, LumProgressHUD::ModeBar);
    f.hud->setLabelText(kLabel);
    // 150 - 4 * 20 = 70 points at most; the bar is 120 wide on its own.
    EXPECT_EQ(f.hud->indicatorFrame().width(), 70);
    EXPECT_EQ(f.hud->labelFrame().width(), 70);
    EXPECT_EQ(f.hud->size().width(), 110);

    f.host->resize(400, 300);
    EXPECT_EQ(f.hud->indicatorFrame().width(), 120) << "the indicator's own width comes back";
}

TEST(HudLayout, SquareUsesTheLargerSideWhereItFits) {
    Fixture f;
    f.hud->setLabelText(kLabel);
    const QSizeF label = lineSize(kLabel, f.hud->labelFont());
    const double width = label.width() + 40;
    ASSERT_GT(width, 37 + 4 + label.height() + 40);
    f.hud->setSquare(true);
    EXPECT_EQ(f.hud->size(), QSizeF(width, width));

    // On a host too low for it, only the width takes the side.
    f.host->resize(320, 120);
    EXPECT_EQ(f.hud->size(), QSizeF(width, 37 + 4 + label.height() + 40));
}

TEST(HudLayout, MinSizeEnlargesEachSideAndOffsetsShiftEverything) {
    Fixture f;
    f.hud->setMinSize(QSizeF(200, 60));
    EXPECT_EQ(f.hud->size(), QSizeF(200, 77));
    EXPECT_EQ(f.hud->boxRect(), QRectF(60, 202, 200, 77));

    f.hud->setXOffset(10);
    f.hud->setYOffset(-30);
    EXPECT_EQ(f.hud->boxRect(), QRectF(70, 172, 200, 77));
    EXPECT_EQ(f.hud->indicatorFrame(), QRectF(152, 192, 37, 37));
}
