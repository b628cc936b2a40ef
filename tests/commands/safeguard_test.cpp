#include "command_fixture.h"

#include "category_table.h"
#include "command_lock.h"

#include <filesystem>

TEST_F(CommandTest, EachCategoryArchivesUnderItsEntryPrefix) {
    safeguard.SaveAllPref();
    EXPECT_EQ(screen.lastAlert().message, "Safeguard done !");
    EXPECT_EQ(screen.lastAlert().outcome, AlertOutcome::Succeeded);
    // The library holds exactly one archive per part, no copy.
    std::vector<std::string> archives;
    for (const auto& category : store::categoryTable())
        for (const auto& part : category.parts) {
            archives.emplace_back(part.archiveName);
            for (const auto& entry : device.archiveEntries(part.archivePath()))
                EXPECT_EQ(entry.rfind(std::string(part.entryPrefix), 0), 0u) << entry;
        }
    std::sort(archives.begin(), archives.end());
    EXPECT_EQ(device.tree(kLibrary), archives);
    EXPECT_TRUE(archived("Accounts.zip", kLibraryPrefix + "Accounts/Sub folder/Café ✓.db"));
    EXPECT_TRUE(archived("Accounts.zip", kLibraryPrefix + "Accounts/Empty/"));
    EXPECT_TRUE(archived("CallHistory.zip", "var/wireless/Library/CallHistory/call_history.db"));
    EXPECT_FALSE(device.exists("/var/tmp/Preferences"));
}

TEST_F(CommandTest, TweakPreferencesLeaveTheStoreOutAndUseAPrivateScratchFolder) {
    device.write(kStore + "/CydiaSources/sources.list", "deb x");
    // The old scratch path is not used: a link standing there is neither
    // followed nor touched.
    device.write("/elsewhere/keep.txt", "keep");
    std::filesystem::create_directory_symlink(device.path("/elsewhere"),
                                              device.path("/var/tmp/Preferences"));
    bool zipped = false;
    runner.failWhen([&](const ToolRun& run) {
        if (run.launchPath == "/usr/bin/zip") {
            zipped = true;
            struct stat status {};
            EXPECT_EQ(::lstat(device.path(kStore + "/tmp").c_str(), &status), 0);
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
    EXPECT_EQ(screen.lastAlert().message, "Safeguard done !");
    auto entries = device.archiveEntries(archive("Preferences.zip"));
    EXPECT_TRUE(archived("Preferences.zip", "var/tmp/Preferences/com.example.tweak.plist"));
    EXPECT_TRUE(archived("Preferences.zip", "var/tmp/Preferences/Nested/deep.plist"));
    for (const auto& entry : entries)
        EXPECT_EQ(entry.find("Mobrix"), std::string::npos) << entry;
    EXPECT_EQ(device.read("/elsewhere/keep.txt"), "keep");
    EXPECT_TRUE(std::filesystem::is_symlink(device.path("/var/tmp/Preferences")));
    EXPECT_FALSE(device.exists(kStore + "/tmp"));
}

TEST_F(CommandTest, TheArchiveIsATruePictureOfTheLiveFolderLessLinksLeadingOut) {
    device.write("/var/mobile/Library/Notes/old.txt", "old");
    safeguard.SaveNotes();
    device.remove("/var/mobile/Library/Notes/old.txt");
    // A copy left by an interrupted run must not leak into the archive.
    device.write(archive("Notes/leftover.txt"), "stale");
    device.write("/secret/shadow", "secret");
    std::filesystem::create_symlink(device.path("/secret/shadow"),
                                    device.path("/var/mobile/Library/Notes/evil"));
    std::filesystem::create_symlink("Read me.txt", device.path("/var/mobile/Library/Notes/alias"));
    safeguard.SaveNotes();
    EXPECT_EQ(screen.lastAlert().message, "Safeguard done !");
    for (auto [name, kept] : {std::pair{"Read me.txt", true},
                              {"alias", true},
                              {"old.txt", false},
                              {"leftover.txt", false},
                              {"evil", false}})
        EXPECT_EQ(archived("Notes.zip", kLibraryPrefix + "Notes/" + name), kept) << name;
    EXPECT_EQ(device.tree(kLibrary), (std::vector<std::string>{"Notes.zip"}));
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
    EXPECT_EQ(screen.lastAlert().message,
              "Safeguard failed !\nNotes: /usr/bin/zip exited with status 9 (injected failure)");
    EXPECT_EQ(screen.lastAlert().outcome, AlertOutcome::Failed);
    EXPECT_EQ(device.read(archive("Notes.zip")), before);
    // Later categories still ran.
    EXPECT_TRUE(archived("Safari.zip", kLibraryPrefix + "Safari/new.txt"));
    EXPECT_EQ(device.tree(kLibrary).size(), 12u); // no copy, no partial archive left
}

TEST_F(CommandTest, MissingLiveFolderOrStoreIsAFailureWithItsReason) {
    device.remove("/var/mobile/Library/Voicemail");
    safeguard.SaveVoicemail();
    EXPECT_EQ(screen.lastAlert().message,
              "Safeguard failed !\nVoicemail: /var/mobile/Library/Voicemail does not exist");

    device.remove(kLibrary);
    size_t runsBefore = runner.runs().size();
    safeguard.SaveAccounts();
    EXPECT_EQ(screen.lastAlert().message,
              "Safeguard failed !\nAccounts: /var/mobile/Library/Preferences/Mobrix/MobrixLibrary "
              "does not exist (create the application folders first)");
    EXPECT_EQ(runner.runs().size(), runsBefore);
}

TEST_F(CommandTest, AStoreOthersCanWriteIsRefusedBeforeAnyTool) {
    std::filesystem::permissions(device.path(kStore), std::filesystem::perms(0777));
    safeguard.SaveCalendar();
    EXPECT_EQ(screen.lastAlert().message,
              "Safeguard failed !\nCalendar: " + kStore + " is writable by other users");
    std::filesystem::permissions(device.path(kStore), std::filesystem::perms(0755));
    std::filesystem::permissions(device.path(kStore + "/CydiaPackages"),
                                 std::filesystem::perms(0777));
    safeguard.loadViewIfNeeded();
    restoration.RestoreCydiaPackages();
    EXPECT_EQ(screen.lastAlert().message,
              "Restoration failed ! Do you want to respring now ?\nCydia Packages: " + kStore +
                  "/CydiaPackages is writable by other users");
    EXPECT_TRUE(runner.runs().empty());
}

TEST_F(CommandTest, SourcesAreRecordedFromTheCacheListWithTheAddedSourcesOrTheDefaultList) {
    const std::string record = kStore + "/CydiaSources/sources.list";
    const std::string recorded = kStore + "/CydiaSources/cydia.list";
    const std::string a = "deb http://a.example/ ./";
    const std::string b = "deb https://b.example/debian stable main";
    const std::string c = "deb-src http://c.example:8080/x/ ./";
    // Without the cache list the default list is recorded; a missing one
    // keeps the old record.
    device.write("/etc/apt/sources.list.d/cydia.list", c);
    safeguard.SaveCydiaSources();
    EXPECT_EQ(device.read(recorded), c);
    device.remove("/etc/apt/sources.list.d/cydia.list");
    safeguard.SaveCydiaSources();
    EXPECT_EQ(device.read(recorded), c);
    EXPECT_EQ(
        screen.lastAlert().message,
        "Safeguard failed !\nCydia Sources: /etc/apt/sources.list.d/cydia.list does not exist");
    EXPECT_FALSE(device.exists(record));

    device.write("/var/mobile/Library/Caches/com.saurik.Cydia/sources.list", a + "\n" + b + "\r\n");
    safeguard.SaveCydiaSources();
    EXPECT_EQ(device.read(record), a + "\n" + b + "\r\n");
    device.write("/etc/apt/sources.list.d/MOXSources.list", c + "\n" + a + "\n");
    safeguard.SaveCydiaSources();
    EXPECT_EQ(device.read(record), a + "\n" + b + "\n\n\n" + c + "\n" + a + "\n");
    EXPECT_EQ(screen.lastAlert().message, "Safeguard done !");
    EXPECT_EQ(std::filesystem::status(device.path(record)).permissions(),
              std::filesystem::perms(0600));
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
