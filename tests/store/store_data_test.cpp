#include "archive_listing.h"
#include "device_root.h"

#include <gtest/gtest.h>

TEST(DeviceRoot, SystemRootKeepsPathsAndOtherRootsPrefixThem) {
    DeviceRoot system("/");
    EXPECT_EQ(system.path("/var/mobile"), "/var/mobile");
    EXPECT_EQ(system.zipInput("/var/tmp/Preferences/"), "/var/tmp/Preferences/");
    DeviceRoot other("/tmp/device/");
    EXPECT_EQ(other.root(), "/tmp/device");
    EXPECT_EQ(other.path("/var/mobile"), "/tmp/device/var/mobile");
    EXPECT_EQ(other.zipInput("/var/tmp/Preferences/"), "var/tmp/Preferences/");
    EXPECT_EQ(other.zipWorkingFolder(), "/tmp/device");
}

TEST(ArchiveListing, RefusesAbsoluteAndParentEntries) {
    EXPECT_FALSE(archive_listing::unsafeEntry("var/a/\nvar/a/b.txt\nvar/a/..hidden\n"));
    EXPECT_EQ(archive_listing::unsafeEntry("var/a/\n/etc/passwd\n"), "/etc/passwd");
    EXPECT_EQ(archive_listing::unsafeEntry("var/../../etc/x\n"), "var/../../etc/x");
    EXPECT_EQ(archive_listing::unsafeEntry("var/a\r\n..\r\n"), "..");
    EXPECT_EQ(archive_listing::unsafeEntry("a\\..\\b"), "a\\..\\b");
}
