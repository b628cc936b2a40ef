#include "archive_listing.h"
#include "line_list.h"
#include "package_restore.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

TEST(LineList, EveryBreakEndsOneElement) {
    EXPECT_EQ(store::line_list::split("A\nB\n"), (Lines{"A", "B", ""}));
    EXPECT_EQ(store::line_list::split("A\r\nB"), (Lines{"A", "", "B"}));
    EXPECT_EQ(store::line_list::split(""), (Lines{""}));
    // Vertical tab, form feed, NEL, line and paragraph separators break too.
    EXPECT_EQ(store::line_list::split("a\vb\fc\xC2\x85"
                                      "d\xE2\x80\xA8"
                                      "e\xE2\x80\xA9"
                                      "f"),
              (Lines{"a", "b", "c", "d", "e", "f"}));
    // A lone lead byte of those sequences is no break.
    EXPECT_EQ(store::line_list::split("x\xE2\x80"), (Lines{"x\xE2\x80"}));
    // Join puts nothing after the last line.
    EXPECT_EQ(store::line_list::join({"A", "B", "", "C", ""}), "A\nB\n\nC\n");
    EXPECT_EQ(store::line_list::join({}), "");
    EXPECT_EQ(store::line_list::join({""}), "");
}

TEST(LinesToAdd, KeepsRecordedOrderAndDuplicatesThatAreNotLive) {
    Lines recorded = {"deb a", "deb b", "deb c", "deb b", "deb d"};
    Lines live = {"deb c", "deb a"};
    EXPECT_EQ(restore::linesToAdd(recorded, live), (Lines{"deb b", "deb b", "deb d"}));
    // Exact comparison: no trimming, no case folding.
    EXPECT_EQ(restore::linesToAdd({"deb a ", "DEB A"}, {"deb a"}), (Lines{"deb a ", "DEB A"}));
    // A recorded text that ends with a break against a live text that does
    // not: the written list ends with a line feed.
    EXPECT_EQ(store::line_list::join(restore::linesToAdd(store::line_list::split("x\ny\n"),
                                                         store::line_list::split("x"))),
              "y\n");
}

TEST(ArchiveListing, RefusesAbsoluteAndParentEntries) {
    EXPECT_FALSE(restore::archive_listing::unsafeEntry("var/a/\nvar/a/b.txt\nvar/a/..hidden\n"));
    EXPECT_EQ(restore::archive_listing::unsafeEntry("var/a/\n/etc/passwd\n"), "/etc/passwd");
    EXPECT_EQ(restore::archive_listing::unsafeEntry("var/../../etc/x\n"), "var/../../etc/x");
    EXPECT_EQ(restore::archive_listing::unsafeEntry("var/a\r\n..\r\n"), "..");
    EXPECT_EQ(restore::archive_listing::unsafeEntry("a\\..\\b"), "a\\..\\b");
}
