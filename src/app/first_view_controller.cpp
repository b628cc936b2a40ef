#include "first_view_controller.h"

#include "bundle_scripts.h"
#include "category_safeguard.h"
#include "command_environment.h"
#include "command_frame.h"
#include "package_safeguard.h"
#include "store_layout.h"

namespace {

CommandFrame safeguardFrame(std::string_view title) {
    return {std::string(store::kSafeguardLabel),
            std::string(title),
            std::string(store::kSafeguardDone),
            {}};
}

} // namespace

void FirstViewController::viewDidLoad() {
    screen_.setIdleTimerDisabled(true);
    hideBundleScripts(environment_.root());
}

void FirstViewController::saveCategory(std::string_view key) {
    const store::Category* category = store::findCategory(key);
    runCommandFrame(
        environment_, screen_, this, safeguardFrame(category->safeguardTitle),
        [category](CommandContext& context) { safeguard::saveCategory(context, *category); });
}

void FirstViewController::SaveTweaksPref() {
    saveCategory("TweaksPref");
}
void FirstViewController::SaveAccounts() {
    saveCategory("Accounts");
}
void FirstViewController::SaveAddressBook() {
    saveCategory("AddressBook");
}
void FirstViewController::SaveCalendar() {
    saveCategory("Calendar");
}
void FirstViewController::SaveNotes() {
    saveCategory("Notes");
}
void FirstViewController::SaveSafari() {
    saveCategory("Safari");
}
void FirstViewController::SaveSMS() {
    saveCategory("SMS");
}
void FirstViewController::SaveVoicemail() {
    saveCategory("Voicemail");
}
void FirstViewController::SaveCallHistory() {
    saveCategory("CallHistory");
}
void FirstViewController::SaveSpringBoard() {
    saveCategory("SpringBoard");
}
void FirstViewController::SaveDCIM() {
    saveCategory("DCIM");
}

void FirstViewController::SaveCydiaSources() {
    runCommandFrame(environment_, screen_, this, safeguardFrame(store::kSourcesSafeguardTitle),
                    safeguard::saveSources);
}

void FirstViewController::SaveCydiaPackages() {
    runCommandFrame(environment_, screen_, this, safeguardFrame(store::kPackagesSafeguardTitle),
                    safeguard::savePackages);
}

void FirstViewController::SaveAllPref() {
    runCommandFrame(environment_, screen_, this, safeguardFrame(store::kAllSafeguardTitle),
                    safeguard::saveAllCategories);
}

FirstViewController::Command FirstViewController::commandForKey(std::string_view key) {
    static const std::pair<std::string_view, Command> commands[] = {
        {"TweaksPref", &FirstViewController::SaveTweaksPref},
        {"Accounts", &FirstViewController::SaveAccounts},
        {"AddressBook", &FirstViewController::SaveAddressBook},
        {"Calendar", &FirstViewController::SaveCalendar},
        {"Notes", &FirstViewController::SaveNotes},
        {"Safari", &FirstViewController::SaveSafari},
        {"SMS", &FirstViewController::SaveSMS},
        {"Voicemail", &FirstViewController::SaveVoicemail},
        {"CallHistory", &FirstViewController::SaveCallHistory},
        {"SpringBoard", &FirstViewController::SaveSpringBoard},
        {"DCIM", &FirstViewController::SaveDCIM},
        {"AllPref", &FirstViewController::SaveAllPref},
        {"CydiaSources", &FirstViewController::SaveCydiaSources},
        {"CydiaPackages", &FirstViewController::SaveCydiaPackages},
    };
    for (const auto& [name, command] : commands)
        if (name == key)
            return command;
    return nullptr;
}
