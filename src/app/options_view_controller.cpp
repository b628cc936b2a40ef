#include "options_view_controller.h"

#include "command_environment.h"
#include "command_frame.h"
#include "restart.h"
#include "restart_alert.h"
#include "store_folders.h"
#include "store_layout.h"

namespace {

constexpr const char* kCancel = "Cancel";
constexpr const char* kSuccessful = "Successful !";
constexpr const char* kCreateFoldersTitle = "Create Application Folders";
constexpr const char* kRemoveSafeguardTitle = "Remove Backup Folders";
constexpr const char* kRemoveAddedSourcesTitle = "Remove MOXSources";

std::vector<std::string> folderChoices() {
    std::vector<std::string> choices;
    for (const auto& folder : maintenance::storeFolders())
        choices.emplace_back(folder.choice);
    return choices;
}

} // namespace

void OptionsViewController::viewDidLoad() {
    screen_.setIdleTimerDisabled(true);
}

void OptionsViewController::createApplicationFolders() {
    screen_.showAlert(
        confirmationAlert(kCreateFoldersTitle,
                          "Do you have removed application Folders ? Press All Folders to recreate "
                          "them, Partially to choose which folder to recreate or Cancel to close "
                          "this window",
                          kCancel, {"All Folders", "Partially"}, kCreateFoldersTag),
        this);
}

void OptionsViewController::removeSafeguard() {
    screen_.showAlert(
        confirmationAlert(kRemoveSafeguardTitle,
                          "Do you want to remove your Safeguard ? Do this only if you don't need "
                          "to restore something and if you need some disk space !",
                          kCancel, {"GO !"}, kRemoveSafeguardTag),
        this);
}

void OptionsViewController::Respring() {
    screen_.showAlert(confirmationAlert("Respring", "Do you really want to Respring your device ?",
                                        kCancel, {"Respring"}, kRespringTag),
                      this);
}

void OptionsViewController::Reboot() {
    screen_.showAlert(confirmationAlert("Reboot", "Do you really want to Reboot your device ?",
                                        kCancel, {"Reboot"}, kRebootTag),
                      this);
}

void OptionsViewController::removeMOXSources() {
    screen_.showAlert(
        confirmationAlert(kRemoveAddedSourcesTitle,
                          "Because Mobrix now restore sources in a new list file, sources added by "
                          "this way can't be deleted from Cydia. Do you want to delete them ? You "
                          "can also go to /etc/apt/sources.list.d/ and edit MOXSources.list "
                          "manually to only delete one source !",
                          kCancel, {"Delete it"}, kRemoveAddedSourcesTag),
        this);
}

void OptionsViewController::alertView(const Alert& alert, int clickedButtonAtIndex) {
    if (clickedButtonAtIndex < 1)
        return;
    switch (alert.tag) {
    case kCreateFoldersTag:
        if (clickedButtonAtIndex == 1)
            createFolders(kCreateFoldersTitle, true, 0);
        if (clickedButtonAtIndex == 2)
            whenIdle(environment_, screen_, [this] {
                screen_.showAlert(confirmationAlert(kCreateFoldersTitle,
                                                    "Select wich folder to recreate", kCancel,
                                                    folderChoices(), kChooseFolderTag),
                                  this);
            });
        break;
    case kChooseFolderTag:
        if (clickedButtonAtIndex <= static_cast<int>(maintenance::storeFolders().size())) {
            const auto& folder = maintenance::storeFolders()[clickedButtonAtIndex - 1];
            createFolders(std::string(folder.closingTitle), false, clickedButtonAtIndex - 1);
        }
        break;
    case kRemoveSafeguardTag:
        if (clickedButtonAtIndex == 1)
            emptyLibrary();
        break;
    case kRespringTag:
        if (clickedButtonAtIndex == 1)
            runRestart(environment_, screen_, this, "Respring", runtime::restart::respring);
        break;
    case kRebootTag:
        if (clickedButtonAtIndex == 1)
            runRestart(environment_, screen_, this, "Reboot", runtime::restart::reboot);
        break;
    case kRemoveAddedSourcesTag:
        if (clickedButtonAtIndex == 1)
            deleteAddedSources();
        break;
    default:
        break;
    }
}

void OptionsViewController::createFolders(std::string title, bool all, int choice) {
    CommandFrame frame{"Creating Application Folders...", std::move(title), kSuccessful, {}};
    runCommandFrame(environment_, screen_, this, frame, [all, choice](CommandContext& context) {
        auto folders = maintenance::storeFolders();
        maintenance::createFolders(context, all ? folders : folders.subspan(choice, 1));
    });
}

void OptionsViewController::emptyLibrary() {
    CommandFrame frame{"Removing Backup folders...", kRemoveSafeguardTitle, kSuccessful, {}};
    runCommandFrame(environment_, screen_, this, frame, maintenance::emptyLibrary);
}

// No overlay for this one: it is a single file-manager call.
void OptionsViewController::deleteAddedSources() {
    whenIdle(environment_, screen_, [this] {
        CommandContext context(environment_, screen_);
        std::string message = maintenance::removeAddedSources(context)
                                  ? context.closingMessage(kSuccessful)
                                  : "Nothing to delete";
        screen_.showAlert(closingAlert(kRemoveAddedSourcesTitle, message, context.outcome()), this);
    });
}
