#include "archive_listing.h"
#include "category_table.h"
#include "command_context.h"
#include "command_lock.h"
#include "device_root.h"
#include "temp_device_root.h"

#include <gtest/gtest.h>

TEST(CategoryTable, ElevenCategoriesInCommandOrder) {
    std::vector<std::string> keys;
    for (const auto& category : store::categoryTable())
        keys.emplace_back(category.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"TweaksPref", "Accounts", "AddressBook", "Calendar",
                                              "Notes", "Safari", "SMS", "Voicemail", "CallHistory",
                                              "SpringBoard", "DCIM"}));
}

TEST(CategoryTable, PathsPrefixesAndStagedFolders) {
    const auto& accounts = *store::findCategory("Accounts");
    const auto& part = accounts.parts.front();
    EXPECT_EQ(part.archivePath(),
              "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Accounts.zip");
    EXPECT_EQ(part.zipInput, "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Accounts/");
    EXPECT_EQ(part.entryPrefix, "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Accounts/");
    EXPECT_EQ(part.stagedFolder(accounts.form),
              "/var/mobile/Library/Preferences/Mobrix/tmp/var/mobile/Library/Preferences/Mobrix/"
              "MobrixLibrary/Accounts");

    const auto& calls = *store::findCategory("CallHistory");
    EXPECT_EQ(calls.parts.front().stagedFolder(calls.form),
              "/var/mobile/Library/Preferences/Mobrix/tmp/var/wireless/Library/CallHistory");
    EXPECT_EQ(calls.restoreTarget, "/var/wireless/Library/");

    const auto& tweaks = *store::findCategory("TweaksPref");
    EXPECT_EQ(tweaks.parts.front().stagedFolder(tweaks.form),
              "/var/mobile/Library/Preferences/Mobrix/tmp/var/tmp/Preferences/");

    const auto& photos = *store::findCategory("DCIM");
    ASSERT_EQ(photos.parts.size(), 2u);
    EXPECT_EQ(photos.parts[0].archiveName, "DCIM.zip");
    EXPECT_EQ(photos.parts[1].archiveName, "PhotoData.zip");
    EXPECT_EQ(store::findCategory("SpringBoard")->restorationTitle, "SprinBoard Restoration");
    EXPECT_EQ(store::findCategory("Voicemail")->safeguardTitle, "Voicemails Safeguard");
}

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

TEST(ClosingMessage, FailureWordingFollowsTheSuccessText) {
    EXPECT_EQ(failedText("Safeguard done !"), "Safeguard failed !");
    EXPECT_EQ(failedText("Restoration done ! Do you want to reboot now ? "),
              "Restoration failed ! Do you want to reboot now ? ");
    EXPECT_EQ(failedText("Successful !"), "Failed !");
}

TEST(CommandLock, OneHolderPerDeviceRoot) {
    TempDeviceRoot device;
    CommandLock first;
    CommandLock second;
    ASSERT_TRUE(first.tryAcquire(device.root()));
    auto refused = second.tryAcquire(device.root());
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find("another command is running"), std::string::npos);
    first.release();
    EXPECT_TRUE(second.tryAcquire(device.root()));
}
