#include "command_fixture.h"

#include "category_table.h"
#include "command_lock.h"

#include <filesystem>
#include <sys/stat.h>

namespace {

bool hasEntry(const std::vector<std::string>& entries, const std::string& name) {
    return std::find(entries.begin(), entries.end(), name) != entries.end();
}

} // namespace

TEST_F(CommandTest, EachCategoryArchivesUnderItsEntryPrefix) {
    safeguard.SaveAllPref();
    EXPECT_EQ(screen.lastAlert().title, "All Preferences Safeguard");
    EXPECT_EQ(screen.lastAlert().message, "Safeguard done !");
    EXPECT_EQ(screen.lastAlert().outcome, AlertOutcome::Succeeded);
    // The library holds exactly the twelve archives, no copy.
    EXPECT_EQ(device.tree(kLibrary),
              (std::vector<std::string>{"Accounts.zip", "AddressBook.zip", "Calendar.zip",
                                        "CallHistory.zip", "DCIM.zip", "Notes.zip", "PhotoData.zip",
                                        "Preferences.zip", "SMS.zip", "Safari.zip",
                                        "SpringBoard.zip", "Voicemail.zip"}));
    for (const auto& category : store::categoryTable())
        for (const auto& part : category.parts)
            for (const auto& entry : device.archiveEntries(part.archivePath()))
                EXPECT_EQ(entry.rfind(std::string(part.entryPrefix), 0), 0u) << entry;

    auto accounts = device.archiveEntries(archive("Accounts.zip"));
    EXPECT_TRUE(hasEntry(
        accounts,
        "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Accounts/Sub folder/Café ✓.db"));
    EXPECT_TRUE(
        hasEntry(accounts, "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Accounts/Empty/"));
    EXPECT_TRUE(hasEntry(device.archiveEntries(archive("CallHistory.zip")),
                         "var/wireless/Library/CallHistory/call_history.db"));
    EXPECT_FALSE(device.exists("/var/tmp/Preferences"));
}

TEST_F(CommandTest, TweakPreferencesLeaveTheStoreOutAndUseAPrivateScratchFolder) {
    device.write("/var/mobile/Library/Preferences/Mobrix/CydiaSources/sources.list", "deb x");
    // The old scratch path is not used: a link standing there is neither
    // followed nor touched.
    device.write("/elsewhere/keep.txt", "keep");
    std::filesystem::create_directory_symlink(device.path("/elsewhere"),
                                              device.path("/var/tmp/Preferences"));
    const std::string staging = device.path("/var/mobile/Library/Preferences/Mobrix/tmp");
    bool zipped = false;
    runner.failWhen([&](const ToolRun& run) {
        if (run.launchPath == "/usr/bin/zip") {
            zipped = true;
            struct stat status {};
            EXPECT_EQ(::lstat(staging.c_str(), &status), 0);
            EXPECT_TRUE(S_ISDIR(status.st_mode));
            EXPECT_EQ(status.st_mode & 0777, 0700u);
            EXPECT_EQ(status.st_uid, ::geteuid());
            EXPECT_EQ(run.arguments,
                      (std::vector<std::string>{"-r", "-y", "-q", "-", "var/tmp/Preferences/"}));
        }
        return false;
    });

    safeguard.SaveTweaksPref();
    EXPECT_TRUE(zipped);
    EXPECT_EQ(screen.lastAlert().title, "Tweaks' Preferences Safeguard");
    EXPECT_EQ(screen.lastAlert().message, "Safeguard done !");
    auto entries = device.archiveEntries(archive("Preferences.zip"));
    EXPECT_TRUE(hasEntry(entries, "var/tmp/Preferences/com.example.tweak.plist"));
    EXPECT_TRUE(hasEntry(entries, "var/tmp/Preferences/Nested/deep.plist"));
    for (const auto& entry : entries)
        EXPECT_EQ(entry.find("Mobrix"), std::string::npos) << entry;
    EXPECT_EQ(device.read("/elsewhere/keep.txt"), "keep");
    EXPECT_TRUE(std::filesystem::is_symlink(device.path("/var/tmp/Preferences")));
    EXPECT_FALSE(device.exists("/var/mobile/Library/Preferences/Mobrix/tmp"));
}

TEST_F(CommandTest, ASecondSafeguardIsATruePictureOfTheLiveFolder) {
    device.write("/var/mobile/Library/Notes/old.txt", "old");
    safeguard.SaveNotes();
    device.remove("/var/mobile/Library/Notes/old.txt");
    // A copy left by an interrupted run must not leak into the archive.
    device.write(std::string(kLibrary) + "/Notes/leftover.txt", "stale");
    safeguard.SaveNotes();
    auto entries = device.archiveEntries(archive("Notes.zip"));
    const std::string prefix = "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Notes/";
    EXPECT_FALSE(hasEntry(entries, prefix + "old.txt"));
    EXPECT_FALSE(hasEntry(entries, prefix + "leftover.txt"));
    EXPECT_TRUE(hasEntry(entries, prefix + "Read me.txt"));
    EXPECT_EQ(device.tree(kLibrary), (std::vector<std::string>{"Notes.zip"}));
}

TEST_F(CommandTest, LinksOutOfTheLiveFolderAreNotArchived) {
    device.write("/secret/shadow", "secret");
    std::filesystem::create_symlink(device.path("/secret/shadow"),
                                    device.path("/var/mobile/Library/SMS/evil"));
    std::filesystem::create_symlink("Read me.txt", device.path("/var/mobile/Library/SMS/alias"));
    safeguard.SaveSMS();
    auto entries = device.archiveEntries(archive("SMS.zip"));
    const std::string prefix = "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/SMS/";
    EXPECT_FALSE(hasEntry(entries, prefix + "evil"));
    EXPECT_TRUE(hasEntry(entries, prefix + "alias"));
    EXPECT_EQ(screen.lastAlert().message, "Safeguard done !");
}

TEST_F(CommandTest, AFailingToolIsReportedAndKeepsTheLastGoodArchive) {
    safeguard.SaveAllPref();
    const std::string before = device.read(archive("Notes.zip"));
    device.write("/var/mobile/Library/Notes/new.txt", "new");
    device.write("/var/mobile/Library/Safari/new.txt", "new");
    runner.failWhen([](const ToolRun& run) {
        return run.launchPath == "/usr/bin/zip" && run.arguments.back().ends_with("/Notes/");
    });

    safeguard.SaveAllPref();
    const Alert& alert = screen.lastAlert();
    EXPECT_EQ(alert.title, "All Preferences Safeguard");
    EXPECT_EQ(alert.message,
              "Safeguard failed !\nNotes: /usr/bin/zip exited with status 9 (injected failure)");
    EXPECT_EQ(alert.outcome, AlertOutcome::Failed);
    EXPECT_EQ(device.read(archive("Notes.zip")), before);
    // Later categories still ran.
    EXPECT_TRUE(hasEntry(device.archiveEntries(archive("Safari.zip")),
                         "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Safari/new.txt"));
    EXPECT_EQ(device.tree(kLibrary).size(), 12u); // no copy, no partial archive left
}

TEST_F(CommandTest, MissingLiveFolderOrStoreIsAFailureWithItsReason) {
    device.remove("/var/mobile/Library/Voicemail");
    safeguard.SaveVoicemail();
    EXPECT_EQ(screen.lastAlert().message,
              "Safeguard failed !\nVoicemail: /var/mobile/Library/Voicemail does not exist");

    device.remove("/var/mobile/Library/Preferences/Mobrix/MobrixLibrary");
    size_t runsBefore = runner.runs().size();
    safeguard.SaveAccounts();
    EXPECT_EQ(screen.lastAlert().message,
              "Safeguard failed !\nAccounts: /var/mobile/Library/Preferences/Mobrix/MobrixLibrary "
              "does not exist (create the application folders first)");
    EXPECT_EQ(runner.runs().size(), runsBefore);
}

TEST_F(CommandTest, AStoreOthersCanWriteIsRefused) {
    std::filesystem::permissions(device.path("/var/mobile/Library/Preferences/Mobrix"),
                                 std::filesystem::perms(0777));
    safeguard.SaveCalendar();
    EXPECT_EQ(screen.lastAlert().message,
              "Safeguard failed !\nCalendar: /var/mobile/Library/Preferences/Mobrix is writable by "
              "other users");
    EXPECT_TRUE(runner.runs().empty());
}

TEST_F(CommandTest, SourcesAreRecordedFromTheCacheListWithTheAddedSources) {
    const char* cache = "/var/mobile/Library/Caches/com.saurik.Cydia/sources.list";
    const char* record = "/var/mobile/Library/Preferences/Mobrix/CydiaSources/sources.list";
    const std::string a = "deb http://a.example/ ./";
    const std::string b = "deb https://b.example/debian stable main";
    const std::string c = "deb-src http://c.example:8080/x/ ./";
    device.write(cache, a + "\n" + b + "\r\n");
    safeguard.SaveCydiaSources();
    EXPECT_EQ(device.read(record), a + "\n" + b + "\r\n");

    device.write("/etc/apt/sources.list.d/MOXSources.list", c + "\n" + a + "\n");
    safeguard.SaveCydiaSources();
    EXPECT_EQ(device.read(record), a + "\n" + b + "\n\n\n" + c + "\n" + a + "\n");
    EXPECT_EQ(screen.lastAlert().title, "Cydia Sources Safeguard");
    EXPECT_EQ(screen.lastAlert().message, "Safeguard done !");
    EXPECT_EQ(std::filesystem::status(device.path(record)).permissions(),
              std::filesystem::perms(0600));
}

TEST_F(CommandTest, UnsafeSourceLinesAreLeftOutOfTheRecordAndNamed) {
    const char* cache = "/var/mobile/Library/Caches/com.saurik.Cydia/sources.list";
    const char* record = "/var/mobile/Library/Preferences/Mobrix/CydiaSources/sources.list";
    device.write(cache, "deb [trusted=yes] http://evil.example/ ./\n"
                        "deb http://good.example/ ./\n"
                        "deb file:/var/mobile/repo ./\n"
                        "deb http://bell.example/\x1b[2J ./");
    safeguard.SaveCydiaSources();
    EXPECT_EQ(device.read(record), "deb http://good.example/ ./");
    EXPECT_EQ(
        screen.lastAlert().message,
        "Safeguard failed !\n"
        "Cydia Sources: refused \"deb [trusted=yes] http://evil.example/ ./\" (options in "
        "brackets)\n"
        "Cydia Sources: refused \"deb file:/var/mobile/repo ./\" (not an http or https "
        "address)\n"
        "Cydia Sources: refused \"deb http://bell.example/\\x1B[2J ./\" (control characters)");
}

TEST_F(CommandTest, WithoutCacheListTheDefaultListIsRecordedAndAMissingOneKeepsTheOld) {
    const char* recorded = "/var/mobile/Library/Preferences/Mobrix/CydiaSources/cydia.list";
    device.write("/var/mobile/Library/Preferences/Mobrix/CydiaSources/sources.list", "earlier");
    device.write("/etc/apt/sources.list.d/cydia.list", "deb http://apt.example/ ios main");
    safeguard.SaveCydiaSources();
    EXPECT_EQ(device.read(recorded), "deb http://apt.example/ ios main");
    EXPECT_EQ(device.read("/var/mobile/Library/Preferences/Mobrix/CydiaSources/sources.list"),
              "earlier");

    device.remove("/etc/apt/sources.list.d/cydia.list");
    safeguard.SaveCydiaSources();
    EXPECT_EQ(device.read(recorded), "deb http://apt.example/ ios main");
    EXPECT_EQ(
        screen.lastAlert().message,
        "Safeguard failed !\nCydia Sources: /etc/apt/sources.list.d/cydia.list does not exist");
}

TEST_F(CommandTest, PackagesRecordComesFromTheHiddenScript) {
    safeguard.loadViewIfNeeded();
    EXPECT_TRUE(device.exists("/Applications/Mobrix.app/.DpkgGetSelections.sh"));
    EXPECT_FALSE(device.exists("/Applications/Mobrix.app/DpkgGetSelections.sh"));
    EXPECT_TRUE(screen.idleTimerDisabled);
    safeguard.SaveCydiaPackages();
    EXPECT_EQ(runner.commandLines().back(),
              "/bin/sh " + device.path("/Applications/Mobrix.app/.DpkgGetSelections.sh"));
    EXPECT_EQ(screen.lastAlert().title, "Cydia Packages Safeguard");
    EXPECT_TRUE(device.exists(
        "/var/mobile/Library/Preferences/Mobrix/CydiaPackages/installed-packages.txt"));
    EXPECT_TRUE(device.exists(
        "/var/mobile/Library/Preferences/Mobrix/CydiaPackages/.saved-installed-packages.txt"));
}

TEST_F(CommandTest, PackagesSafeguardRemovesWhatAKilledScriptLeft) {
    const char* leftover = "/var/mobile/Library/Preferences/Mobrix/CydiaPackages/"
                           ".installed-packages.txt.Ab12Cd";
    device.write(leftover, "half");
    safeguard.loadViewIfNeeded();
    safeguard.SaveCydiaPackages();
    EXPECT_FALSE(device.exists(leftover));
    EXPECT_EQ(
        device.tree("/var/mobile/Library/Preferences/Mobrix/CydiaPackages"),
        (std::vector<std::string>{".saved-installed-packages.txt", "installed-packages.txt"}));
}

TEST_F(CommandTest, HiddenScriptThatExistsKeepsTheShippedOneInPlace) {
    device.write("/Applications/Mobrix.app/.RestoreCydiaApps.sh", "hidden");
    safeguard.loadViewIfNeeded();
    EXPECT_TRUE(device.exists("/Applications/Mobrix.app/RestoreCydiaApps.sh"));
    EXPECT_EQ(device.read("/Applications/Mobrix.app/.RestoreCydiaApps.sh"), "hidden");
}

TEST_F(CommandTest, OnlyOneCommandAtATime) {
    CommandLock other;
    ASSERT_TRUE(other.tryAcquire(device.root()));
    safeguard.SaveNotes();
    EXPECT_TRUE(screen.alerts.empty());
    ASSERT_EQ(screen.notices.size(), 1u);
    EXPECT_NE(screen.notices[0].find("another command is running"), std::string::npos);
    EXPECT_TRUE(runner.runs().empty());
}
