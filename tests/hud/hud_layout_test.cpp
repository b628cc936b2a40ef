#include "hud_test_support.h"

#include "hud_layout.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace {

const QString kDetails = QStringLiteral(
    "Copying the address book, the calendar, the notes and the messages into the library "
    "folder before they are packed into their archives.");

} // namespace

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
