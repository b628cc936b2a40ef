#include "command_fixture.h"

#include "command_frame.h"

#include <unistd.h>

namespace {

const std::string kAdded = "/etc/apt/sources.list.d/MOXSources.list";

// Writes a zip archive with the given entries (name, content; a name ending
// in "@" becomes a link to its content).
void writeZip(const TempDeviceRoot& device, const std::string& devicePath,
              const std::vector<std::string>& namesAndContents) {
    std::string command =
        "python3 -c \"import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
        "for name, content in zip(sys.argv[2::2], sys.argv[3::2]):\n"
        "    i = zipfile.ZipInfo(name.rstrip('@'))\n"
        "    i.external_attr = (0o120777 if name[-1] == '@' else 0o100644) << 16\n"
        "    z.writestr(i, content)\n\" " +
        shellQuoted(device.path(devicePath));
    for (const auto& word : namesAndContents)
        command += " " + shellQuoted(word);
    ASSERT_EQ(std::system(command.c_str()), 0);
}

} // namespace

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

TEST_F(CommandTest, ALeftoverStagingFolderIsClearedFirst) {
    safeguard.SaveSafari();
    device.write(kStore + "/tmp" + kLibrary + "/Safari/stale.txt", "stale");
    restoration.RestoreSafari();
    EXPECT_EQ(screen.lastAlert().message, "Restoration done !");
    EXPECT_FALSE(device.exists("/var/mobile/Library/Safari/stale.txt"));
}

TEST_F(CommandTest, ArchivesThatWouldWriteOutsideOrThroughLinksAreRefused) {
    writeZip(device, archive("Notes.zip"), {"../../../../../../escape.txt", "x"});
    restoration.RestoreNotes();
    EXPECT_EQ(screen.lastAlert().message, "Restoration failed !\nNotes: the archive holds an "
                                          "unsafe entry name: ../../../../../../escape.txt");

    const std::string prefix = "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/SMS/";
    writeZip(device, archive("SMS.zip"), {prefix + "a.txt", "a", prefix + "link@", "/etc/passwd"});
    restoration.RestoreSMS();
    EXPECT_NE(screen.lastAlert().message.find("SMS/link, a link that leads out of its folder"),
              std::string::npos)
        << screen.lastAlert().message;
    EXPECT_FALSE(device.exists("/var/mobile/Library/SMS/a.txt"));
    EXPECT_FALSE(device.exists(kStore + "/tmp"));
}

TEST_F(CommandTest, PhotosRestoreWhicheverArchiveExists) {
    safeguard.SaveDCIM();
    device.remove(archive("DCIM.zip"));
    device.remove("/var/mobile/Media/PhotoData");
    restoration.RestoreDCIM();
    EXPECT_EQ(screen.lastAlert().message, "Restoration done !");
    EXPECT_EQ(device.read("/var/mobile/Media/PhotoData/Photos.sqlite"), "photo data");
}

TEST_F(CommandTest, ARecordThisDeviceDidNotSaveIsShownAndNeedsConfirmation) {
    device.makeFolder("/etc/apt/sources.list.d");
    device.write("/var/mobile/Library/Caches/com.saurik.Cydia/sources.list",
                 "deb http://a.example/ ./");
    device.write(kStore + "/CydiaSources/sources.list",
                 "deb http://a.example/ ./\ndeb http://new.example/ ./\n"
                 "deb [trusted=yes] http://evil.example/ ./");
    restoration.RestoreCydiaSources();
    ASSERT_EQ(screen.alerts.size(), 1u);
    EXPECT_EQ(screen.lastAlert().kind, AlertKind::Confirmation);
    screen.answer(0);
    EXPECT_FALSE(device.exists(kAdded));

    restoration.RestoreCydiaSources();
    // Closing another alert meanwhile leaves the question as it was.
    restoration.alertView(closingAlert("Earlier", "done", AlertOutcome::Succeeded), 0);
    screen.answer(1);
    EXPECT_EQ(device.read(kAdded), "deb http://new.example/ ./");
    EXPECT_EQ(screen.lastAlert().message,
              "Restoration failed !\nCydia Sources: refused \"deb [trusted=yes] "
              "http://evil.example/ ./\" (options in brackets)");

    // The answer holds for the record that was shown, not for one put in its
    // place meanwhile.
    restoration.RestoreCydiaSources();
    device.write(kStore + "/CydiaSources/sources.list", "deb http://other.example/ ./");
    screen.answer(1);
    EXPECT_EQ(device.read(kAdded), "deb http://new.example/ ./");
    EXPECT_NE(screen.lastAlert().message.find("was not confirmed as shown"), std::string::npos);
}

TEST_F(CommandTest, WithoutCacheListOrRecordTheDefaultListStaysAndTheAddedOneGoes) {
    device.write("/etc/apt/sources.list.d/cydia.list", "live default");
    device.write(kAdded, "added");
    restoration.RestoreCydiaSources();
    EXPECT_EQ(device.read("/etc/apt/sources.list.d/cydia.list"), "live default");
    EXPECT_FALSE(device.exists(kAdded));
    EXPECT_EQ(screen.lastAlert().outcome, AlertOutcome::Failed);
}

TEST_F(CommandTest, PackagesRestorationOffersARespring) {
    safeguard.loadViewIfNeeded();
    safeguard.SaveCydiaPackages();
    restoration.RestoreCydiaPackages();
    EXPECT_EQ(screen.lastAlert().message, "Restoration done ! Do you want to respring now ?");
    EXPECT_EQ(screen.lastAlert().kind, AlertKind::RestartOffer);
    screen.answer(0);
    EXPECT_TRUE(runner.restarts().empty());
    restoration.RestoreCydiaPackages();
    screen.answer(1);
    EXPECT_EQ(runner.restarts(), (std::vector<std::string>{"/usr/bin/killall backboardd"}));
}
