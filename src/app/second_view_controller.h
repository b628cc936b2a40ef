#pragma once

#include "package_restore.h"
#include "view_controller.h"

#include <map>
#include <string>
#include <string_view>

class CommandContext;

// The Restoration screen. Its alerts: tag 1 offers a respring after the
// packages restoration, tag 2 a reboot after restoring everything; tags 3 and
// 4 ask before sources or packages from a record this device did not save
// reach the package manager.
class SecondViewController : public ViewController {
public:
    using ViewController::ViewController;
    using Command = void (SecondViewController::*)();

    static constexpr int kRespringOfferTag = 1;
    static constexpr int kRebootOfferTag = 2;
    static constexpr int kConfirmSourcesTag = 3;
    static constexpr int kConfirmPackagesTag = 4;

    bool CreateTmpFolder(CommandContext& context);
    bool RemoveTmpFolder(CommandContext& context);

    void RestoreTweaksPrefMethod();
    void RestoreAccountsMethod();
    void RestoreAddressBookMethod();
    void RestoreCalendarMethod();
    void RestoreNotesMethod();
    void RestoreSafariMethod();
    void RestoreSMSMethod();
    void RestoreVoicemailMethod();
    void RestoreCallHistoryMethod();
    void RestoreSpringBoardMethod();
    void RestoreDCIMMethod();

    void viewDidLoad() override;

    void RestoreCydiaSources();
    void RestoreCydiaPackages();
    void RestoreAllPref();

    void RestoreTweaksPref() { RestoreTweaksPrefMethod(); }
    void RestoreAccounts() { RestoreAccountsMethod(); }
    void RestoreAddressBook() { RestoreAddressBookMethod(); }
    void RestoreCalendar() { RestoreCalendarMethod(); }
    void RestoreNotes() { RestoreNotesMethod(); }
    void RestoreSafari() { RestoreSafariMethod(); }
    void RestoreSMS() { RestoreSMSMethod(); }
    void RestoreVoicemail() { RestoreVoicemailMethod(); }
    void RestoreCallHistory() { RestoreCallHistoryMethod(); }
    void RestoreSpringBoard() { RestoreSpringBoardMethod(); }
    void RestoreDCIM() { RestoreDCIMMethod(); }

    void alertView(const Alert& alert, int clickedButtonAtIndex) override;

    // The command of a key ("Accounts", "AllPref", "CydiaSources" …), or null.
    static Command commandForKey(std::string_view key);

private:
    void restoreCategory(std::string_view key);
    // Restores at once when the record is this device's own; otherwise shows
    // it in the confirmation `tag`, whose "Restore" runs it pinned to the
    // digest shown.
    void confirmThenRestore(std::string_view title, int tag,
                            std::optional<restore::RecordConfirmation> (*ask)(CommandContext&));
    // The sources (tag 3) or packages (tag 4) restoration.
    void restoreAccepting(int tag, std::string digest);
    void restoreSourcesAccepting(std::string digest);
    void restorePackagesAccepting(std::string digest);

    // By confirmation tag, the digest of the record its alert shows.
    std::map<int, std::string> pendingDigests_;
};
