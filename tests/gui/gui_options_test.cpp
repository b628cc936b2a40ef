#include "gui_fixture.h"

#include "options_view_controller.h"
#include "second_view_controller.h"

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
    const std::size_t before = runner_.runs().size();
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
    EXPECT_EQ(runner_.runs().size(), before);
    EXPECT_FALSE(exists(kApplication));
    EXPECT_TRUE(exists(kAddedSources));
}

// An offer answered through its dialog starts the restart, which the window's
// runner only records; the offers themselves are tested in tests/commands.
TEST_F(GuiTest, RestartOffersAreAnsweredThroughTheirDialog) {
    createStoreFolders();
    press(Shell::kRestorationTab, "RestoreAllPref");
    AlertDialog* offer = topAlert();
    ASSERT_NE(offer, nullptr);
    EXPECT_EQ(offer->alert().tag, SecondViewController::kRebootOfferTag);
    EXPECT_EQ(alertButtons(offer), (QStringList{"Close", "Reboot now"}));
    answer(QStringLiteral("Close"));
    EXPECT_TRUE(runner_.restarts().empty());

    press(Shell::kRestorationTab, "RestoreAllPref");
    answer(QStringLiteral("Reboot now"));
    EXPECT_EQ(runner_.restarts(), std::vector<std::string>{"/sbin/reboot"});
    EXPECT_EQ(openAlertCount(), 0);
}
