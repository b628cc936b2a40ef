#include "gui_fixture.h"

#include "options_view_controller.h"
#include "second_view_controller.h"

#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>

namespace {

const std::string kApplication = "/var/mobile/Library/Preferences/Mobrix";
const std::string kAddedSources = "/etc/apt/sources.list.d/MOXSources.list";

struct Confirmation {
    const char* method;
    const char* title;
    const char* messageStart;
    QStringList buttons;
    int tag;
};

const Confirmation kConfirmations[] = {
    {"createApplicationFolders",
     "Create Application Folders",
     "Do you have removed application Folders ?",
     {"Cancel", "All Folders", "Partially"},
     OptionsViewController::kCreateFoldersTag},
    {"removeSafeguard",
     "Remove Backup Folders",
     "Do you want to remove your Safeguard ?",
     {"Cancel", "GO !"},
     OptionsViewController::kRemoveSafeguardTag},
    {"Respring",
     "Respring",
     "Do you really want to Respring your device ?",
     {"Cancel", "Respring"},
     OptionsViewController::kRespringTag},
    {"Reboot",
     "Reboot",
     "Do you really want to Reboot your device ?",
     {"Cancel", "Reboot"},
     OptionsViewController::kRebootTag},
    {"removeMOXSources",
     "Remove MOXSources",
     "Because Mobrix now restore sources in a new list file",
     {"Cancel", "Delete it"},
     OptionsViewController::kRemoveAddedSourcesTag},
};

void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

} // namespace

TEST_F(GuiTest, EveryOptionAsksWithItsTagAndCancelChangesNothing) {
    writeFile(path(kAddedSources), "deb http://added.example.com/ ./\n");
    runner_.runs.clear();
    for (const auto& confirmation : kConfirmations) {
        press(Shell::kOptionsTab, confirmation.method);
        AlertDialog* alert = topAlert();
        ASSERT_NE(alert, nullptr) << confirmation.method;
        EXPECT_EQ(alertTitle(alert), confirmation.title);
        EXPECT_TRUE(alertMessage(alert).startsWith(confirmation.messageStart))
            << confirmation.method;
        EXPECT_EQ(alertButtons(alert), confirmation.buttons);
        EXPECT_EQ(alert->alert().tag, confirmation.tag);
        answer(alert, 0);
        EXPECT_EQ(openAlertCount(), 0) << confirmation.method;
    }
    EXPECT_TRUE(runner_.runs.empty());
    EXPECT_FALSE(exists(kApplication));
    EXPECT_TRUE(exists(kAddedSources));
}

TEST_F(GuiTest, AllFoldersCreatesTheFourStoreFolders) {
    press(Shell::kOptionsTab, "createApplicationFolders");
    answer(QStringLiteral("All Folders"));
    AlertDialog* closing = topAlert();
    ASSERT_NE(closing, nullptr);
    EXPECT_EQ(alertTitle(closing), "Create Application Folders");
    EXPECT_EQ(alertMessage(closing), "Successful !");
    EXPECT_EQ(closing->alert().tag, 0);
    for (const char* folder : {"", "/CydiaSources", "/CydiaPackages", "/MobrixLibrary"})
        EXPECT_TRUE(exists(kApplication + folder)) << folder;
}

TEST_F(GuiTest, PartiallyAsksWhichFolderAndCreatesOnlyThatOne) {
    press(Shell::kOptionsTab, "createApplicationFolders");
    answer(QStringLiteral("Partially"));
    AlertDialog* choice = topAlert();
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->alert().tag, OptionsViewController::kChooseFolderTag);
    EXPECT_EQ(alertMessage(choice), "Select wich folder to recreate");
    EXPECT_EQ(alertButtons(choice), (QStringList{"Cancel", "Parent Folder: Mobrix", "CydiaSources",
                                                 "CydiaPackages", "MobrixLibrary"}));
    answer(QStringLiteral("CydiaPackages"));
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(alertTitle(topAlert()), "Create Cydia Packages Folder");
    EXPECT_TRUE(exists(kApplication + "/CydiaPackages"));
    EXPECT_FALSE(exists(kApplication + "/CydiaSources"));
    EXPECT_FALSE(exists(kApplication + "/MobrixLibrary"));
}

TEST_F(GuiTest, GoEmptiesTheLibraryAndKeepsThePackageRecords) {
    createStoreFolders();
    press(Shell::kSafeguardTab, "SaveNotes");
    answer(QStringLiteral("Close"));
    press(Shell::kSafeguardTab, "SaveCydiaPackages");
    answer(QStringLiteral("Close"));
    ASSERT_TRUE(exists(kApplication + "/MobrixLibrary/Notes.zip"));

    press(Shell::kOptionsTab, "removeSafeguard");
    answer(QStringLiteral("GO !"));
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(alertTitle(topAlert()), "Remove Backup Folders");
    EXPECT_EQ(alertMessage(topAlert()), "Successful !");
    EXPECT_TRUE(std::filesystem::is_empty(path(kApplication + "/MobrixLibrary")));
    EXPECT_TRUE(exists(kApplication + "/CydiaPackages/installed-packages.txt"));
}

TEST_F(GuiTest, RestartsAreRecordedNeverRunAndShowNothing) {
    runner_.runs.clear();
    press(Shell::kOptionsTab, "Respring");
    answer(QStringLiteral("Respring"));
    EXPECT_EQ(openAlertCount(), 0);
    press(Shell::kOptionsTab, "Reboot");
    answer(QStringLiteral("Reboot"));
    EXPECT_EQ(openAlertCount(), 0);
    EXPECT_EQ(runner_.commandLines(),
              (std::vector<std::string>{"/usr/bin/killall backboardd", "/sbin/reboot"}));
}

TEST_F(GuiTest, DeleteItRemovesTheAddedSourcesOnceThenFindsNothing) {
    writeFile(path(kAddedSources), "deb http://added.example.com/ ./\n");
    press(Shell::kOptionsTab, "removeMOXSources");
    answer(QStringLiteral("Delete it"));
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(alertTitle(topAlert()), "Remove MOXSources");
    EXPECT_EQ(alertMessage(topAlert()), "Successful !");
    EXPECT_FALSE(exists(kAddedSources));
    answer(QStringLiteral("Close"));

    press(Shell::kOptionsTab, "removeMOXSources");
    answer(QStringLiteral("Delete it"));
    ASSERT_NE(topAlert(), nullptr);
    EXPECT_EQ(alertMessage(topAlert()), "Nothing to delete");
}

TEST_F(GuiTest, RestorationOffersRestartsThatAreOnlyRecorded) {
    createStoreFolders();
    runner_.runs.clear();
    press(Shell::kRestorationTab, "RestoreAllPref");
    AlertDialog* offer = topAlert();
    ASSERT_NE(offer, nullptr);
    EXPECT_EQ(offer->alert().tag, SecondViewController::kRebootOfferTag);
    EXPECT_EQ(alertButtons(offer), (QStringList{"Close", "Reboot now"}));
    answer(QStringLiteral("Close"));
    EXPECT_FALSE(runner_.ran("/sbin/reboot"));

    press(Shell::kRestorationTab, "RestoreAllPref");
    answer(QStringLiteral("Reboot now"));
    EXPECT_TRUE(runner_.ran("/sbin/reboot"));

    press(Shell::kSafeguardTab, "SaveCydiaPackages");
    answer(QStringLiteral("Close"));
    press(Shell::kRestorationTab, "RestoreCydiaPackages");
    offer = topAlert();
    ASSERT_NE(offer, nullptr);
    EXPECT_EQ(offer->alert().tag, SecondViewController::kRespringOfferTag);
    EXPECT_EQ(alertTitle(offer), "Cydia Packages Restoration");
    answer(QStringLiteral("Respring now"));
    EXPECT_TRUE(runner_.ran("/usr/bin/killall backboardd"));
    EXPECT_EQ(openAlertCount(), 0);
}
