#pragma once

#include "view_controller.h"

// The Options screen: every command asks first; the dispatcher acts on the
// answer by the alert's tag.
class OptionsViewController : public ViewController {
public:
    using ViewController::ViewController;

    enum Tag {
        kCreateFoldersTag = 1,
        kChooseFolderTag = 2,
        kRemoveSafeguardTag = 3,
        kRespringTag = 4,
        kRebootTag = 5,
        kRemoveAddedSourcesTag = 6,
    };

    void viewDidLoad() override;

    void createApplicationFolders();
    void removeSafeguard();
    void Respring();
    void Reboot();
    void removeMOXSources();

    void alertView(const Alert& alert, int clickedButtonAtIndex) override;

private:
    void createFolders(std::string title, bool all, int choice);
    void emptyLibrary();
    void deleteAddedSources();
};
