#include "hud_test_support.h"

#include "hud_layout.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace {

const QString kDetails = QStringLiteral(
    "Copying the address book, the calendar, the notes and the messages into the library "
    "folder before they are packed into their archives.");

HudLayoutInput indicatorOnly(QSizeF bounds, QSizeF indicator) {
    HudLayoutInput in;
    in.bounds = bounds;
    in.indicatorSize = indicator;
    return in;
}

} // namespace

// Without text the layout does not depend on the fonts: exact frames, with
// halves rounded up when centring.
TEST(HudLayout, IndicatorBoxesCentredClampedAndAdjusted) {
    struct Case {
        const char* name;
        HudLayoutInput in;
        QRectF indicator;
        QSizeF size;
    };
    std::vector<Case> cases = {
        {"spinner", indicatorOnly({320, 480}, {37, 37}), {142, 222, 37, 37}, {77, 77}},
        {"wider than four margins allow",
         indicatorOnly({150, 300}, {120, 20}),
         {40, 140, 70, 20},
         {110, 60}},
        {"no room at all", indicatorOnly({60, 300}, {37, 37}), {30, 132, 0, 37}, {40, 77}},
    };
    Case minSize{"min size", indicatorOnly({320, 480}, {37, 37}), {142, 222, 37, 37}, {200, 77}};
    minSize.in.minSize = {200, 60};
    Case offsets{"offsets", indicatorOnly({320, 480}, {37, 37}), {152, 192, 37, 37}, {77, 77}};
    offsets.in.xOffset = 10;
    offsets.in.yOffset = -30;
    Case square{"square", indicatorOnly({320, 480}, {120, 20}), {100, 230, 120, 20}, {160, 160}};
    square.in.square = true;
    // Too low for the square: only the width takes the side.
    Case lowSquare{
        "low square", indicatorOnly({320, 150}, {120, 20}), {100, 65, 120, 20}, {160, 60}};
    lowSquare.in.square = true;
    cases.insert(cases.end(), {minSize, offsets, square, lowSquare});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HudLayout layout = layoutHUD(c.in);
        EXPECT_EQ(layout.indicatorFrame, c.indicator);
        EXPECT_EQ(layout.size, c.size);
        EXPECT_EQ(layout.labelFrame.height(), 0);
        EXPECT_EQ(layout.detailsFrame.height(), 0);
    }
}

TEST(HudLayout, IndicatorLabelAndDetailsStackWithTheSpacingInsideTheWidth) {
    HudLayoutInput in = indicatorOnly({320, 480}, {37, 37});
    in.labelText = QStringLiteral("Safeguard in progress... and a label far too long to fit");
    in.detailsText = QStringLiteral("Accounts.zip");
    const HudLayout layout = layoutHUD(in);
    EXPECT_EQ(layout.labelFrame.width(), 320 - 4 * 20) << "cut to the maximum width";
    EXPECT_EQ(layout.labelFrame.left(), 40);
    EXPECT_EQ(layout.labelFrame.top(), layout.indicatorFrame.bottom() + kHudSpacing);
    EXPECT_EQ(layout.detailsFrame.top(), layout.labelFrame.bottom() + kHudSpacing);
    EXPECT_GT(layout.detailsFrame.height(), 0);
    EXPECT_NEAR(layout.detailsFrame.center().x(), 160, 0.5);
    EXPECT_EQ(layout.size.width(), 320 - 2 * 20);
    EXPECT_EQ(layout.size.height(),
              layout.detailsFrame.bottom() - layout.indicatorFrame.top() + 40);

    // Details alone: no spacing above them, wrapped within the width.
    in.indicatorSize = {};
    in.labelText.clear();
    in.detailsText = kDetails;
    const HudLayout text = layoutHUD(in);
    EXPECT_LE(text.detailsFrame.width(), 240);
    EXPECT_GT(text.detailsFrame.height(), 2 * QFontMetricsF(in.detailsFont).height());
    EXPECT_EQ(text.size, text.detailsFrame.size() + QSizeF(40, 40));
    EXPECT_EQ(text.detailsFrame.top(), std::round((480 - text.size.height()) / 2) + 20);
}

TEST(HudLayout, WrappedTextIsCutToTheWholeLinesThatFit) {
    const QFont font;
    const QFontMetricsF metrics(font);
    const QString text = kDetails + " " + kDetails;
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
