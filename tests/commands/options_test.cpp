#include "command_fixture.h"

#include <filesystem>

class OptionsTest : public CommandTest {};

TEST_F(OptionsTest, AllFoldersMakesTheWholeStore) {
    device.remove("/var/mobile/Library/Preferences/Mobrix");
    options.createApplicationFolders();
    EXPECT_EQ(screen.lastAlert().tag, 1);
    EXPECT_EQ(screen.lastAlert().otherButtons,
              (std::vector<std::string>{"All Folders", "Partially"}));
    screen.answer(1);
    EXPECT_EQ(screen.events[1], "overlay:Creating Application Folders...");
    EXPECT_EQ(screen.lastAlert().title, "Create Application Folders");
    EXPECT_EQ(screen.lastAlert().message, "Successful !");
    EXPECT_EQ(device.tree("/var/mobile/Library/Preferences/Mobrix"),
              (std::vector<std::string>{"CydiaPackages/", "CydiaSources/", "MobrixLibrary/"}));
    // Each folder is made in the folder above it, entered by descriptor.
    EXPECT_EQ(
        runner.commandLines(),
        (std::vector<std::string>{"/bin/mkdir -p Mobrix", "/bin/mkdir -p CydiaSources",
                                  "/bin/mkdir -p CydiaPackages", "/bin/mkdir -p MobrixLibrary"}));
    for (const auto& run : runner.runs())
        EXPECT_GE(run.child.workingFolderFd, 0);
}

TEST_F(OptionsTest, WithoutAPreferencesFolderTheWholeWayIsMade) {
    device.remove("/var/mobile/Library/Preferences");
    options.createApplicationFolders();
    screen.answer(1);
    EXPECT_EQ(screen.lastAlert().message, "Successful !");
    EXPECT_EQ(runner.commandLines().front(), "/bin/mkdir -p Preferences/Mobrix");
    EXPECT_EQ(device.tree("/var/mobile/Library/Preferences/Mobrix"),
              (std::vector<std::string>{"CydiaPackages/", "CydiaSources/", "MobrixLibrary/"}));
}

TEST_F(OptionsTest, PartiallyMakesOnlyTheChosenFolder) {
    device.remove("/var/mobile/Library/Preferences/Mobrix");
    options.createApplicationFolders();
    screen.answer(2);
    const Alert& choice = screen.lastAlert();
    EXPECT_EQ(choice.tag, 2);
    EXPECT_EQ(choice.message, "Select wich folder to recreate");
    EXPECT_EQ(choice.otherButtons,
              (std::vector<std::string>{"Parent Folder: Mobrix", "CydiaSources", "CydiaPackages",
                                        "MobrixLibrary"}));
    screen.answer(3);
    EXPECT_EQ(screen.lastAlert().title, "Create Cydia Packages Folder");
    EXPECT_EQ(device.tree("/var/mobile/Library/Preferences/Mobrix"),
              (std::vector<std::string>{"CydiaPackages/"}));
}

TEST_F(OptionsTest, CancelChangesNothingAndShowsNothing) {
    for (auto command :
         {&OptionsViewController::createApplicationFolders, &OptionsViewController::removeSafeguard,
          &OptionsViewController::Respring, &OptionsViewController::Reboot,
          &OptionsViewController::removeMOXSources}) {
        (options.*command)();
        screen.answer(0);
    }
    EXPECT_EQ(screen.alerts.size(), 5u);
    EXPECT_TRUE(runner.runs().empty());
    std::vector<int> tags;
    for (const auto& alert : screen.alerts)
        tags.push_back(alert.tag);
    EXPECT_EQ(tags, (std::vector<int>{1, 3, 4, 5, 6}));
}

TEST_F(OptionsTest, GoEmptiesTheLibraryAndKeepsTheRecords) {
    safeguard.SaveNotes();
    device.write("/var/mobile/Library/Preferences/Mobrix/CydiaSources/cydia.list", "keep");
    options.removeSafeguard();
    screen.answer(1);
    EXPECT_EQ(screen.lastAlert().title, "Remove Backup Folders");
    EXPECT_EQ(screen.lastAlert().message, "Successful !");
    EXPECT_TRUE(device.exists(kLibrary));
    EXPECT_TRUE(device.tree(kLibrary).empty());
    EXPECT_EQ(device.read("/var/mobile/Library/Preferences/Mobrix/CydiaSources/cydia.list"),
              "keep");
}

TEST_F(OptionsTest, RestartsRunOnlyOnTheirButtonAndShowNothing) {
    options.Respring();
    screen.answer(1);
    options.Reboot();
    screen.answer(1);
    EXPECT_EQ(runner.restarts(),
              (std::vector<std::string>{"/usr/bin/killall backboardd", "/sbin/reboot"}));
    EXPECT_EQ(screen.alerts.size(), 2u); // the two questions, no closing alert
    EXPECT_EQ(std::count(screen.events.begin(), screen.events.end(), "hide"), 0);
}

TEST_F(OptionsTest, DeletingTheAddedSourcesList) {
    device.write("/etc/apt/sources.list.d/MOXSources.list", "x");
    options.removeMOXSources();
    screen.answer(1);
    EXPECT_EQ(screen.lastAlert().title, "Remove MOXSources");
    EXPECT_EQ(screen.lastAlert().message, "Successful !");
    EXPECT_FALSE(device.exists("/etc/apt/sources.list.d/MOXSources.list"));
    options.removeMOXSources();
    screen.answer(1);
    EXPECT_EQ(screen.lastAlert().message, "Nothing to delete");
}

TEST_F(OptionsTest, AnApplicationFolderLinkIsNotFollowed) {
    device.remove("/var/mobile/Library/Preferences/Mobrix");
    device.makeFolder("/elsewhere");
    std::filesystem::create_directory_symlink(
        device.path("/elsewhere"), device.path("/var/mobile/Library/Preferences/Mobrix"));
    options.createApplicationFolders();
    screen.answer(1);
    EXPECT_EQ(screen.lastAlert().message,
              "Failed !\n/var/mobile/Library/Preferences/Mobrix is a link, not a folder");
    EXPECT_TRUE(device.tree("/elsewhere").empty());
}
