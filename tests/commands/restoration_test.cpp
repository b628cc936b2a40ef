#include "command_fixture.h"
#include "command_frame.h"

#include <filesystem>
#include <unistd.h>

namespace {

const std::string kStaging = "/var/mobile/Library/Preferences/Mobrix/tmp";

// Writes a zip archive with exactly the given entries (name, content; a name
// ending in "@" becomes a link to its content).
void writeZip(const TempDeviceRoot& device, const std::string& devicePath,
              const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string script = "import sys, zipfile, stat\nz = zipfile.ZipFile(sys.argv[1], 'w')\n";
    for (const auto& [name, content] : entries) {
        if (name.ends_with("@")) {
            script += "i = zipfile.ZipInfo('" + name.substr(0, name.size() - 1) +
                      "')\n"
                      "i.external_attr = (stat.S_IFLNK | 0o777) << 16\n"
                      "z.writestr(i, '" +
                      content + "')\n";
        } else {
            script += "z.writestr('" + name + "', '" + content + "')\n";
        }
    }
    script += "z.close()\n";
    device.write("/make_zip.py", script);
    ASSERT_EQ(
        std::system(
            ("python3 " + device.path("/make_zip.py") + " " + device.path(devicePath)).c_str()),
        0);
}

} // namespace

TEST_F(CommandTest, EveryCategoryComesBackFromItsArchive) {
    safeguard.SaveAllPref();
    for (auto folder : {"/var/mobile/Library/Accounts", "/var/mobile/Library/Notes",
                        "/var/wireless/Library/CallHistory", "/var/mobile/Media/DCIM",
                        "/var/mobile/Media/PhotoData", "/var/mobile/Library/Preferences/Nested"})
        device.remove(folder);
    device.write("/var/mobile/Library/Notes/only-live.txt", "stays");
    device.chown("/var/mobile/Library/Notes", 501, 501);
    device.write("/var/mobile/Library/SMS/Read me.txt", "changed since");

    restoration.RestoreAllPref();
    const Alert& alert = screen.lastAlert();
    EXPECT_EQ(alert.title, "All Preferences Restoration");
    EXPECT_EQ(alert.message, "Restoration done ! Do you want to reboot now ? ");
    EXPECT_EQ(alert.tag, 2);
    EXPECT_EQ(alert.otherButtons, (std::vector<std::string>{"Reboot now"}));
    EXPECT_EQ(device.read("/var/mobile/Library/Accounts/Sub folder/Café ✓.db"), "nested Accounts");
    EXPECT_TRUE(device.exists("/var/mobile/Library/Accounts/Empty"));
    EXPECT_EQ(device.read("/var/mobile/Library/Notes/only-live.txt"),
              "stays"); // merge, not replace
    EXPECT_EQ(device.read("/var/mobile/Library/SMS/Read me.txt"), "live SMS");
    EXPECT_EQ(device.read("/var/wireless/Library/CallHistory/call_history.db"), "calls");
    EXPECT_EQ(device.read("/var/mobile/Media/DCIM/100APPLE/IMG_0001.JPG"), "jpeg bytes");
    EXPECT_EQ(device.read("/var/mobile/Media/PhotoData/Photos.sqlite"), "photo data");
    EXPECT_EQ(device.read("/var/mobile/Library/Preferences/Nested/deep.plist"), "deep");
    EXPECT_FALSE(device.exists(kStaging));
    // What the copy created belongs to the phone's user, not to root.
    EXPECT_EQ(ownerOf("/var/mobile/Library/Accounts"), "501:501");
    EXPECT_EQ(ownerOf("/var/mobile/Library/Accounts/Sub folder/Café ✓.db"), "501:501");
    EXPECT_EQ(ownerOf("/var/wireless/Library/CallHistory/call_history.db"), "501:501");

    screen.answer(0); // "Close": nothing restarts
    EXPECT_TRUE(runner.restarts().empty());
}

TEST_F(CommandTest, RestorationToolsAndOrderForOneCategory) {
    safeguard.SaveAccounts();
    const size_t before = runner.runs().size();
    restoration.RestoreAccounts();
    const auto all = runner.commandLines();
    std::vector<std::string> lines(all.begin() + static_cast<long>(before), all.end());
    // Root's tools work in the application folder, entered by descriptor;
    // the copy runs as the owner from the staged folder to beside the live one.
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"/bin/rm -rf tmp", "/bin/mkdir tmp",
                                        "/usr/bin/unzip -Z1 MobrixLibrary/Accounts.zip",
                                        "/usr/bin/unzip MobrixLibrary/Accounts.zip -d tmp/"}));
    EXPECT_EQ(lines[5], "/bin/rm -rf tmp");
    const ToolRun& copy = runner.runs()[before + 4];
    EXPECT_EQ(copy.launchPath, "/bin/cp");
    ASSERT_EQ(copy.arguments.size(), 5u);
    EXPECT_EQ(copy.arguments.back().rfind("/proc/self/fd/", 0), 0u);
    EXPECT_TRUE(copy.arguments.back().ends_with("/.Accounts.restoring"));
    ASSERT_TRUE(copy.child.identity);
    if (::geteuid() == 0) {
        EXPECT_EQ(copy.child.identity->uid, 501u);
    }
    EXPECT_EQ(screen.events.back(), "alert:Accounts Restoration");
    EXPECT_EQ(screen.lastAlert().message, "Restoration done !");
}

TEST_F(CommandTest, AMissingArchiveRunsNoToolAndFailsAlone) {
    restoration.RestoreNotes();
    EXPECT_EQ(screen.lastAlert().title, "Notes Restoration");
    EXPECT_EQ(screen.lastAlert().message, "Restoration failed !\nNo safeguard of Notes to restore");
    EXPECT_TRUE(runner.runs().empty());
    EXPECT_FALSE(device.exists(kStaging));
}

TEST_F(CommandTest, RestoreAllPassesOverMissingArchivesAndStillOffersTheReboot) {
    safeguard.SaveNotes();
    restoration.RestoreAllPref();
    const Alert& alert = screen.lastAlert();
    EXPECT_EQ(alert.outcome, AlertOutcome::Succeeded);
    EXPECT_EQ(alert.message.rfind("Restoration done ! Do you want to reboot now ? \n", 0), 0u);
    EXPECT_NE(alert.message.find("No safeguard of Accounts to restore (skipped)"),
              std::string::npos);
    EXPECT_EQ(alert.message.find("Notes to restore"), std::string::npos);
    screen.answer(1);
    EXPECT_EQ(runner.restarts(), (std::vector<std::string>{"/sbin/reboot"}));
}

TEST_F(CommandTest, ALeftoverStagingFolderIsClearedFirst) {
    safeguard.SaveSafari();
    device.write(kStaging + "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Safari/stale.txt",
                 "stale");
    restoration.RestoreSafari();
    EXPECT_EQ(screen.lastAlert().message, "Restoration done !");
    EXPECT_FALSE(device.exists("/var/mobile/Library/Safari/stale.txt"));
}

TEST_F(CommandTest, ArchivesThatWouldWriteOutsideOrThroughLinksAreRefused) {
    writeZip(device, archive("Notes.zip"), {{"../../../../../../escape.txt", "x"}});
    restoration.RestoreNotes();
    EXPECT_EQ(screen.lastAlert().message, "Restoration failed !\nNotes: the archive holds an "
                                          "unsafe entry name: ../../../../../../escape.txt");

    const std::string prefix = "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/SMS/";
    writeZip(device, archive("SMS.zip"),
             {{prefix + "a.txt", "a"}, {prefix + "link@", "/etc/passwd"}});
    restoration.RestoreSMS();
    EXPECT_NE(screen.lastAlert().message.find("SMS/link, a link that leads out of its folder"),
              std::string::npos)
        << screen.lastAlert().message;
    EXPECT_FALSE(device.exists("/var/mobile/Library/SMS/a.txt"));

    safeguard.SaveCalendar();
    device.remove("/var/mobile/Library/Calendar/Sub folder");
    device.makeFolder("/outside");
    std::filesystem::create_directory_symlink(
        device.path("/outside"), device.path("/var/mobile/Library/Calendar/Sub folder"));
    restoration.RestoreCalendar();
    EXPECT_NE(screen.lastAlert().message.find(
                  "Calendar/Sub folder is a link; nothing is restored through it"),
              std::string::npos);
    EXPECT_TRUE(device.tree("/outside").empty());
    EXPECT_FALSE(device.exists(kStaging));
}

TEST_F(CommandTest, PhotosRestoreWhicheverArchiveExists) {
    safeguard.SaveDCIM();
    device.remove(archive("DCIM.zip"));
    device.remove("/var/mobile/Media/PhotoData");
    restoration.RestoreDCIM();
    EXPECT_EQ(screen.lastAlert().title, "Photos Restoration");
    EXPECT_EQ(screen.lastAlert().message, "Restoration done !");
    EXPECT_EQ(device.read("/var/mobile/Media/PhotoData/Photos.sqlite"), "photo data");
}

TEST_F(CommandTest, SourcesRestorationWritesTheRecordedSourcesThePackageManagerLacks) {
    const char* added = "/etc/apt/sources.list.d/MOXSources.list";
    const char* cache = "/var/mobile/Library/Caches/com.saurik.Cydia/sources.list";
    const std::string a = "deb http://a.example/ ./", b = "deb http://b.example/ ./",
                      c = "deb http://c.example/ ./", d = "deb http://d.example/ ./";
    device.write("/etc/apt/sources.list.d/cydia.list", b + "\n" + c + "\n" + c + "\n" + d);
    safeguard.SaveCydiaSources(); // no cache list yet: cydia.list is recorded
    device.write(cache, a + "\n" + b);
    device.write(added, "old");
    restoration.RestoreCydiaSources();
    EXPECT_EQ(device.read(added), c + "\n" + c + "\n" + d);
    restoration.RestoreCydiaSources();
    EXPECT_EQ(device.read(added), c + "\n" + c + "\n" + d);
    EXPECT_EQ(screen.lastAlert().title, "Cydia Sources Restoration");
    EXPECT_EQ(screen.lastAlert().tag, 0);
}

TEST_F(CommandTest, ARecordThisDeviceDidNotSaveIsShownAndNeedsConfirmation) {
    const char* added = "/etc/apt/sources.list.d/MOXSources.list";
    device.makeFolder("/etc/apt/sources.list.d");
    device.write("/var/mobile/Library/Caches/com.saurik.Cydia/sources.list",
                 "deb http://a.example/ ./");
    device.write("/var/mobile/Library/Preferences/Mobrix/CydiaSources/sources.list",
                 "deb http://a.example/ ./\ndeb http://new.example/ ./\n"
                 "deb [trusted=yes] http://evil.example/ ./");
    restoration.RestoreCydiaSources();
    ASSERT_EQ(screen.alerts.size(), 1u);
    EXPECT_EQ(screen.lastAlert().tag, SecondViewController::kConfirmSourcesTag);
    EXPECT_EQ(screen.lastAlert().kind, AlertKind::Confirmation);
    EXPECT_EQ(screen.lastAlert().message,
              "The recorded sources.list was not saved on this device. These sources will be "
              "added:\ndeb http://new.example/ ./\nRefused (left out):\n"
              "deb [trusted=yes] http://evil.example/ ./\nRestore them ?");
    screen.answer(0);
    EXPECT_FALSE(device.exists(added));
    EXPECT_TRUE(runner.runs().empty());

    restoration.RestoreCydiaSources();
    // Closing another alert meanwhile leaves the question as it was.
    restoration.alertView(closingAlert("Earlier", "done", AlertOutcome::Succeeded), 0);
    screen.answer(1);
    EXPECT_EQ(device.read(added), "deb http://new.example/ ./");
    EXPECT_EQ(screen.lastAlert().message,
              "Restoration failed !\nCydia Sources: refused \"deb [trusted=yes] "
              "http://evil.example/ ./\" (options in brackets)");

    // The answer holds for the record that was shown, not for one put in its
    // place meanwhile.
    restoration.RestoreCydiaSources();
    device.write("/var/mobile/Library/Preferences/Mobrix/CydiaSources/sources.list",
                 "deb http://other.example/ ./");
    screen.answer(1);
    EXPECT_EQ(device.read(added), "deb http://new.example/ ./");
    EXPECT_NE(screen.lastAlert().message.find("was not confirmed as shown"), std::string::npos);
}

TEST_F(CommandTest, WithoutCacheListTheDefaultListIsReplacedOnlyByARecordedOne) {
    const char* live = "/etc/apt/sources.list.d/cydia.list";
    device.write(live, "live default");
    device.write("/etc/apt/sources.list.d/MOXSources.list", "added");
    restoration.RestoreCydiaSources();
    EXPECT_EQ(device.read(live), "live default");
    EXPECT_FALSE(device.exists("/etc/apt/sources.list.d/MOXSources.list"));
    EXPECT_EQ(screen.lastAlert().outcome, AlertOutcome::Failed);

    device.write("/var/mobile/Library/Preferences/Mobrix/CydiaSources/cydia.list",
                 "deb http://recorded.example/ ./\n");
    restoration.RestoreCydiaSources();
    EXPECT_NE(screen.lastAlert().message.find("will replace the default source list:\n"
                                              "deb http://recorded.example/ ./\n\nRestore"),
              std::string::npos);
    screen.answer(1);
    EXPECT_EQ(device.read(live), "deb http://recorded.example/ ./\n");
    EXPECT_EQ(screen.lastAlert().message, "Restoration done !");
}

TEST_F(CommandTest, PackagesRestorationOffersARespring) {
    safeguard.loadViewIfNeeded();
    safeguard.SaveCydiaPackages();
    restoration.RestoreCydiaPackages();
    const Alert& alert = screen.lastAlert();
    EXPECT_EQ(alert.title, "Cydia Packages Restoration");
    EXPECT_EQ(alert.message, "Restoration done ! Do you want to respring now ?");
    EXPECT_EQ(alert.tag, 1);
    EXPECT_EQ(alert.kind, AlertKind::RestartOffer);
    screen.answer(0);
    EXPECT_TRUE(runner.restarts().empty());
    restoration.RestoreCydiaPackages();
    screen.answer(1);
    EXPECT_EQ(runner.restarts(), (std::vector<std::string>{"/usr/bin/killall backboardd"}));
}

TEST_F(CommandTest, APackageRecordFromElsewhereIsCheckedShownAndConfirmed) {
    safeguard.loadViewIfNeeded();
    device.write("/var/mobile/Library/Preferences/Mobrix/CydiaPackages/installed-packages.txt",
                 "bash\tinstall\nold-tweak:arm64 purge\n--force-all install\nzsh\tinstall; rm\n");
    restoration.RestoreCydiaPackages();
    EXPECT_EQ(screen.lastAlert().tag, SecondViewController::kConfirmPackagesTag);
    EXPECT_EQ(screen.lastAlert().message,
              "The package record was not saved on this device. These packages will be "
              "installed:\nbash\nThese will be removed or held:\nold-tweak:arm64 (purge)\n"
              "Refused (left out):\n--force-all install\nzsh\\x09install; rm\nRestore them ?");
    screen.answer(0);
    EXPECT_TRUE(runner.runs().empty());

    restoration.RestoreCydiaPackages();
    screen.answer(1);
    ASSERT_EQ(runner.runs().size(), 1u);
    EXPECT_EQ(runner.commandLines()[0],
              "/bin/sh " + device.path("/Applications/Mobrix.app/.RestoreCydiaApps.sh"));
    EXPECT_EQ(screen.lastAlert().tag, 1);
    EXPECT_EQ(screen.lastAlert().message,
              "Restoration failed ! Do you want to respring now ?\n"
              "Cydia Packages: refused \"--force-all install\" (not a package name)\n"
              "Cydia Packages: refused \"zsh\\x09install; rm\" (not a package and a selection "
              "state)");
}

TEST_F(CommandTest, PackagesRestorationChecksTheStoreFirst) {
    safeguard.loadViewIfNeeded();
    std::filesystem::permissions(
        device.path("/var/mobile/Library/Preferences/Mobrix/CydiaPackages"),
        std::filesystem::perms(0777));
    restoration.RestoreCydiaPackages();
    EXPECT_EQ(screen.lastAlert().message,
              "Restoration failed ! Do you want to respring now ?\nCydia Packages: "
              "/var/mobile/Library/Preferences/Mobrix/CydiaPackages is writable by other users");
    EXPECT_TRUE(runner.runs().empty());
}
