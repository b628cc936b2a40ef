// The three screens' commands on a filled temporary device.
#include "category_table.h"
#include "command_environment.h"
#include "fake_screen.h"
#include "first_view_controller.h"
#include "options_view_controller.h"
#include "recording_tool_runner.h"
#include "second_view_controller.h"
#include "temp_device_root.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kStore = "/var/mobile/Library/Preferences/Mobrix";
const std::string kLibrary = kStore + "/MobrixLibrary";
const std::string kLibraryPrefix = kLibrary.substr(1) + "/"; // of archive entries
const std::string kAdded = "/etc/apt/sources.list.d/MOXSources.list";

// A filled temporary device with the store folders, the three screens, a
// recording runner and a fake screen.
class CommandTest : public ::testing::Test {
protected:
    CommandTest() : environment(DeviceRoot(device.root()), runner) {
        device.fillLiveFolders();
        device.makeStoreFolders();
    }

    std::string archive(const std::string& name) const { return kLibrary + "/" + name; }
    bool archived(const std::string& name, const std::string& entry) const {
        auto entries = device.archiveEntries(archive(name));
        return std::find(entries.begin(), entries.end(), entry) != entries.end();
    }

    TempDeviceRoot device;
    RecordingToolRunner runner;
    CommandEnvironment environment;
    FakeScreen screen;
    FirstViewController safeguard{environment, screen};
    SecondViewController restoration{environment, screen};
    OptionsViewController options{environment, screen};
};

} // namespace

TEST_F(CommandTest, EachCategoryArchivesUnderItsEntryPrefix) {
    safeguard.SaveAllPref();
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
    EXPECT_FALSE(device.exists("/var/tmp/Preferences"));
}

TEST_F(CommandTest, TweakPreferencesLeaveTheStoreOutAndUseAPrivateScratchFolder) {
    device.write(kStore + "/CydiaSources/sources.list", "deb x");
    // A link at the old scratch path is neither followed nor touched.
    device.write("/elsewhere/keep.txt", "keep");
    std::filesystem::create_directory_symlink(device.path("/elsewhere"),
                                              device.path("/var/tmp/Preferences"));
    runner.failWhen = [&](const ToolRun& run) {
        if (run.launchPath == "/usr/bin/zip") {
            struct stat status {};
            EXPECT_EQ(::lstat(device.path(kStore + "/tmp").c_str(), &status), 0);
            EXPECT_EQ(status.st_mode, S_IFDIR | 0700u);
            EXPECT_EQ(status.st_uid, ::geteuid());
            EXPECT_EQ(run.arguments,
                      (std::vector<std::string>{"-r", "-y", "-q", "-", "var/tmp/Preferences/"}));
        }
        return false;
    };

    safeguard.SaveTweaksPref();
    EXPECT_EQ(screen.lastAlert().message, "Safeguard done !");
    EXPECT_TRUE(archived("Preferences.zip", "var/tmp/Preferences/com.example.tweak.plist"));
    EXPECT_TRUE(archived("Preferences.zip", "var/tmp/Preferences/Nested/deep.plist"));
    for (const auto& entry : device.archiveEntries(archive("Preferences.zip")))
        EXPECT_EQ(entry.find("Mobrix"), std::string::npos) << entry;
    EXPECT_EQ(device.read("/elsewhere/keep.txt"), "keep");
    EXPECT_TRUE(std::filesystem::is_symlink(device.path("/var/tmp/Preferences")));
    EXPECT_FALSE(device.exists(kStore + "/tmp"));
}

TEST_F(CommandTest, TheArchiveIsATruePictureOfTheLiveFolder) {
    device.write("/var/mobile/Library/Notes/old.txt", "old");
    safeguard.SaveNotes();
    device.remove("/var/mobile/Library/Notes/old.txt");
    // A copy left by an interrupted run must not leak into the archive.
    device.write(archive("Notes/leftover.txt"), "stale");
    safeguard.SaveNotes();
    EXPECT_EQ(screen.lastAlert().message, "Safeguard done !");
    EXPECT_TRUE(archived("Notes.zip", kLibraryPrefix + "Notes/Read me.txt"));
    EXPECT_FALSE(archived("Notes.zip", kLibraryPrefix + "Notes/old.txt"));
    EXPECT_FALSE(archived("Notes.zip", kLibraryPrefix + "Notes/leftover.txt"));
    EXPECT_EQ(device.tree(kLibrary), (std::vector<std::string>{"Notes.zip"}));
}

TEST_F(CommandTest, AFailingToolIsReportedAndKeepsTheLastGoodArchive) {
    safeguard.SaveAllPref();
    const std::string before = device.read(archive("Notes.zip"));
    device.write("/var/mobile/Library/Notes/new.txt", "new");
    device.write("/var/mobile/Library/Safari/new.txt", "new");
    runner.failWhen = [](const ToolRun& run) {
        return run.launchPath == "/usr/bin/zip" && run.arguments.back().ends_with("/Notes/");
    };

    safeguard.SaveAllPref();
    EXPECT_EQ(screen.lastAlert().message,
              "Safeguard failed !\nNotes: /usr/bin/zip exited with status 9 (injected failure)");
    EXPECT_EQ(device.read(archive("Notes.zip")), before);
    // Later categories still ran.
    EXPECT_TRUE(archived("Safari.zip", kLibraryPrefix + "Safari/new.txt"));
    EXPECT_EQ(device.tree(kLibrary).size(), 12u); // no copy, no partial archive left
}

TEST_F(CommandTest, TheStoreAndTheLiveFolderAreCheckedBeforeAnyTool) {
    std::filesystem::permissions(device.path(kStore), std::filesystem::perms(0777));
    safeguard.SaveCalendar();
    EXPECT_EQ(screen.lastAlert().message,
              "Safeguard failed !\nCalendar: " + kStore + " is writable by other users");
    std::filesystem::permissions(device.path(kStore), std::filesystem::perms(0755));
    device.remove(kLibrary);
    safeguard.SaveAccounts();
    EXPECT_EQ(screen.lastAlert().message,
              "Safeguard failed !\nAccounts: " + kLibrary +
                  " does not exist (create the application folders first)");
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

TEST_F(CommandTest, AnArchiveWithALinkLeadingOutIsRefused) {
    const std::string prefix = kLibraryPrefix + "SMS/";
    device.write("/work/" + prefix + "a.txt", "a");
    std::filesystem::create_symlink("/etc/passwd", device.path("/work/" + prefix + "link"));
    const std::string zip = "cd " + shellQuoted(device.path("/work")) + " && zip -qy " +
                            shellQuoted(device.path(archive("SMS.zip"))) + " " + prefix + "a.txt " +
                            prefix + "link";
    ASSERT_EQ(std::system(zip.c_str()), 0);
    restoration.RestoreSMS();
    EXPECT_NE(screen.lastAlert().message.find("SMS/link, a link that leads out of its folder"),
              std::string::npos)
        << screen.lastAlert().message;
    EXPECT_FALSE(device.exists("/var/mobile/Library/SMS/a.txt"));
    EXPECT_FALSE(device.exists(kStore + "/tmp"));

    // An entry name that climbs ("SMS/../a.txt", patched in place of "SMS/AA/a.txt") is
    // refused from the archive's listing, before anything is unpacked.
    device.write("/work/" + prefix + "AA/a.txt", "a");
    const std::string climbing = "cd " + shellQuoted(device.path("/work")) + " && rm -f " +
                                 shellQuoted(device.path(archive("SMS.zip"))) + " && zip -q " +
                                 shellQuoted(device.path(archive("SMS.zip"))) + " " + prefix +
                                 "AA/a.txt && sed -i 's#SMS/AA/#SMS/../#g' " +
                                 shellQuoted(device.path(archive("SMS.zip")));
    ASSERT_EQ(std::system(climbing.c_str()), 0);
    restoration.RestoreSMS();
    EXPECT_NE(screen.lastAlert().message.find("unsafe entry name: " + prefix + "../a.txt"),
              std::string::npos)
        << screen.lastAlert().message;
    EXPECT_FALSE(device.exists(kLibrary + "/a.txt"));
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
    EXPECT_EQ(screen.lastAlert().kind, AlertKind::Confirmation);
    EXPECT_FALSE(device.exists(kAdded));
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

TEST_F(CommandTest, AnApplicationFolderLinkIsNotFollowed) {
    device.remove(kStore);
    device.makeFolder("/elsewhere");
    std::filesystem::create_directory_symlink(device.path("/elsewhere"), device.path(kStore));
    options.createApplicationFolders();
    screen.answer(1); // "All Folders"
    EXPECT_EQ(screen.lastAlert().message, "Failed !\n" + kStore + " is a link, not a folder");
    EXPECT_TRUE(device.tree("/elsewhere").empty());
}

TEST_F(CommandTest, GoEmptiesTheLibraryAndKeepsTheRecords) {
    safeguard.SaveNotes();
    device.write(kStore + "/CydiaSources/cydia.list", "keep");
    options.removeSafeguard();
    screen.answer(1);
    EXPECT_EQ(screen.lastAlert().message, "Successful !");
    EXPECT_TRUE(device.exists(kLibrary));
    EXPECT_TRUE(device.tree(kLibrary).empty());
    EXPECT_EQ(device.read(kStore + "/CydiaSources/cydia.list"), "keep");
}

TEST_F(CommandTest, DeletingTheAddedSourcesList) {
    device.write(kAdded, "x");
    for (auto message : {"Successful !", "Nothing to delete"}) {
        options.removeMOXSources();
        screen.answer(1);
        EXPECT_EQ(screen.lastAlert().message, message);
    }
    EXPECT_FALSE(device.exists(kAdded));
}
