#include "command_fixture.h"

#include <filesystem>

TEST_F(CommandTest, ApplicationFoldersAreEachMadeInTheFolderAbove) {
    device.remove("/var/mobile/Library/Preferences");
    options.createApplicationFolders();
    screen.answer(1); // "All Folders"
    EXPECT_EQ(screen.lastAlert().message, "Successful !");
    EXPECT_EQ(device.tree(kStore),
              (std::vector<std::string>{"CydiaPackages/", "CydiaSources/", "MobrixLibrary/"}));
    // Each folder is made in the folder above it, entered by descriptor.
    EXPECT_EQ(
        runner.commandLines(),
        (std::vector<std::string>{"/bin/mkdir -p Preferences/Mobrix", "/bin/mkdir -p CydiaSources",
                                  "/bin/mkdir -p CydiaPackages", "/bin/mkdir -p MobrixLibrary"}));
    for (const auto& run : runner.runs())
        EXPECT_GE(run.child.workingFolderFd, 0);
}

TEST_F(CommandTest, AnApplicationFolderLinkIsNotFollowed) {
    device.remove(kStore);
    device.makeFolder("/elsewhere");
    std::filesystem::create_directory_symlink(device.path("/elsewhere"), device.path(kStore));
    options.createApplicationFolders();
    screen.answer(1);
    EXPECT_EQ(screen.lastAlert().message, "Failed !\n" + kStore + " is a link, not a folder");
    EXPECT_TRUE(device.tree("/elsewhere").empty());
}

TEST_F(CommandTest, CancelChangesNothingAndShowsNothing) {
    for (auto command :
         {&OptionsViewController::createApplicationFolders, &OptionsViewController::removeSafeguard,
          &OptionsViewController::Respring, &OptionsViewController::Reboot,
          &OptionsViewController::removeMOXSources}) {
        (options.*command)();
        screen.answer(0);
    }
    EXPECT_EQ(screen.alerts.size(), 5u);
    EXPECT_TRUE(runner.runs().empty());
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

TEST_F(CommandTest, RestartsRunOnlyOnTheirButtonAndShowNothing) {
    options.Respring();
    screen.answer(1);
    options.Reboot();
    screen.answer(1);
    EXPECT_EQ(runner.restarts(),
              (std::vector<std::string>{"/usr/bin/killall backboardd", "/sbin/reboot"}));
    EXPECT_EQ(screen.alerts.size(), 2u); // the two questions, no closing alert
    EXPECT_EQ(std::count(screen.events.begin(), screen.events.end(), "hide"), 0);
}

TEST_F(CommandTest, DeletingTheAddedSourcesList) {
    device.write("/etc/apt/sources.list.d/MOXSources.list", "x");
    for (auto message : {"Successful !", "Nothing to delete"}) {
        options.removeMOXSources();
        screen.answer(1);
        EXPECT_EQ(screen.lastAlert().message, message);
    }
    EXPECT_FALSE(device.exists("/etc/apt/sources.list.d/MOXSources.list"));
}
