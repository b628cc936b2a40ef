#pragma once

#include "view_controller.h"

#include <span>
#include <string_view>

// The Safeguard screen.
class FirstViewController : public ViewController {
public:
    using ViewController::ViewController;
    using Command = void (FirstViewController::*)();

    void viewDidLoad() override;

    void SaveTweaksPref();
    void SaveAccounts();
    void SaveAddressBook();
    void SaveCalendar();
    void SaveNotes();
    void SaveSafari();
    void SaveSMS();
    void SaveVoicemail();
    void SaveCallHistory();
    void SaveSpringBoard();
    void SaveDCIM();
    void SaveCydiaSources();
    void SaveCydiaPackages();
    void SaveAllPref();

    // The command of a key ("Accounts", "AllPref", "CydiaSources" …), or null.
    static Command commandForKey(std::string_view key);

private:
    void saveCategory(std::string_view key);
};
