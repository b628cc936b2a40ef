#include "second_view_controller.h"

#include "category_restore.h"
#include "command_environment.h"
#include "command_frame.h"
#include "package_restore.h"
#include "restart.h"
#include "restart_alert.h"
#include "store_layout.h"

#include <utility>

namespace {

constexpr const char* kCancel = "Cancel";
constexpr const char* kRestore = "Restore";

CommandFrame restorationFrame(std::string_view title) {
    return {std::string(store::kRestorationLabel),
            std::string(title),
            std::string(store::kRestorationDone),
            {}};
}

// A closing alert that also offers a restart.
CommandFrame offerFrame(std::string_view title, std::string successMessage, std::string button,
                        int tag) {
    CommandFrame frame = restorationFrame(title);
    frame.closingAlert = [title = std::string(title), successMessage, button,
                          tag](const CommandContext& context) {
        Alert alert = confirmationAlert(title, context.closingMessage(successMessage),
                                        std::string(store::kCloseButton), {button}, tag,
                                        AlertKind::RestartOffer);
        alert.outcome = context.outcome();
        return alert;
    };
    return frame;
}

} // namespace

bool SecondViewController::CreateTmpFolder(CommandContext& context) {
    return restore::createTmpFolder(context);
}

bool SecondViewController::RemoveTmpFolder(CommandContext& context) {
    return restore::removeTmpFolder(context);
}

void SecondViewController::viewDidLoad() {
    screen_.setIdleTimerDisabled(true);
}

void SecondViewController::restoreCategory(std::string_view key) {
    const store::Category* category = store::findCategory(key);
    runCommandFrame(
        environment_, screen_, this, restorationFrame(category->restorationTitle),
        [category](CommandContext& context) { restore::restoreCategory(context, *category); });
}

void SecondViewController::RestoreTweaksPrefMethod() {
    restoreCategory("TweaksPref");
}
void SecondViewController::RestoreAccountsMethod() {
    restoreCategory("Accounts");
}
void SecondViewController::RestoreAddressBookMethod() {
    restoreCategory("AddressBook");
}
void SecondViewController::RestoreCalendarMethod() {
    restoreCategory("Calendar");
}
void SecondViewController::RestoreNotesMethod() {
    restoreCategory("Notes");
}
void SecondViewController::RestoreSafariMethod() {
    restoreCategory("Safari");
}
void SecondViewController::RestoreSMSMethod() {
    restoreCategory("SMS");
}
void SecondViewController::RestoreVoicemailMethod() {
    restoreCategory("Voicemail");
}
void SecondViewController::RestoreCallHistoryMethod() {
    restoreCategory("CallHistory");
}
void SecondViewController::RestoreSpringBoardMethod() {
    restoreCategory("SpringBoard");
}
void SecondViewController::RestoreDCIMMethod() {
    restoreCategory("DCIM");
}

void SecondViewController::confirmThenRestore(
    std::string_view title, int tag,
    std::optional<restore::RecordConfirmation> (*ask)(CommandContext&)) {
    whenIdle(environment_, screen_, [this, title, tag, ask] {
        CommandContext probe(environment_, screen_);
        if (auto question = ask(probe)) {
            pendingDigests_[tag] = question->digest;
            screen_.showAlert(
                confirmationAlert(std::string(title), question->message, kCancel, {kRestore}, tag),
                this);
            return;
        }
        restoreAccepting(tag, {});
    });
}

void SecondViewController::restoreAccepting(int tag, std::string digest) {
    if (tag == kConfirmSourcesTag)
        restoreSourcesAccepting(std::move(digest));
    else
        restorePackagesAccepting(std::move(digest));
}

void SecondViewController::RestoreCydiaSources() {
    confirmThenRestore(store::kSourcesRestorationTitle, kConfirmSourcesTag,
                       restore::sourcesConfirmation);
}

void SecondViewController::restoreSourcesAccepting(std::string digest) {
    runCommandFrame(
        environment_, screen_, this, restorationFrame(store::kSourcesRestorationTitle),
        [digest](CommandContext& context) { restore::restoreSources(context, digest); });
}

void SecondViewController::RestoreCydiaPackages() {
    confirmThenRestore(store::kPackagesRestorationTitle, kConfirmPackagesTag,
                       restore::packagesConfirmation);
}

void SecondViewController::restorePackagesAccepting(std::string digest) {
    runCommandFrame(
        environment_, screen_, this,
        offerFrame(store::kPackagesRestorationTitle,
                   "Restoration done ! Do you want to respring now ?", "Respring now",
                   kRespringOfferTag),
        [digest](CommandContext& context) { restore::restorePackages(context, digest); });
}

void SecondViewController::RestoreAllPref() {
    runCommandFrame(environment_, screen_, this,
                    offerFrame(store::kAllRestorationTitle,
                               "Restoration done ! Do you want to reboot now ? ", "Reboot now",
                               kRebootOfferTag),
                    restore::restoreAllCategories);
}

void SecondViewController::alertView(const Alert& alert, int clickedButtonAtIndex) {
    if (alert.tag == kConfirmSourcesTag || alert.tag == kConfirmPackagesTag) {
        std::string digest = std::exchange(pendingDigests_[alert.tag], {});
        if (clickedButtonAtIndex == 1)
            restoreAccepting(alert.tag, std::move(digest));
        return;
    }
    if (clickedButtonAtIndex != 1)
        return;
    if (alert.tag == kRespringOfferTag)
        runRestart(environment_, screen_, this, "Respring", runtime::restart::respring);
    if (alert.tag == kRebootOfferTag)
        runRestart(environment_, screen_, this, "Reboot", runtime::restart::reboot);
}

SecondViewController::Command SecondViewController::commandForKey(std::string_view key) {
    static const std::pair<std::string_view, Command> commands[] = {
        {"TweaksPref", &SecondViewController::RestoreTweaksPref},
        {"Accounts", &SecondViewController::RestoreAccounts},
        {"AddressBook", &SecondViewController::RestoreAddressBook},
        {"Calendar", &SecondViewController::RestoreCalendar},
        {"Notes", &SecondViewController::RestoreNotes},
        {"Safari", &SecondViewController::RestoreSafari},
        {"SMS", &SecondViewController::RestoreSMS},
        {"Voicemail", &SecondViewController::RestoreVoicemail},
        {"CallHistory", &SecondViewController::RestoreCallHistory},
        {"SpringBoard", &SecondViewController::RestoreSpringBoard},
        {"DCIM", &SecondViewController::RestoreDCIM},
        {"AllPref", &SecondViewController::RestoreAllPref},
        {"CydiaSources", &SecondViewController::RestoreCydiaSources},
        {"CydiaPackages", &SecondViewController::RestoreCydiaPackages},
    };
    for (const auto& [name, command] : commands)
        if (name == key)
            return command;
    return nullptr;
}
