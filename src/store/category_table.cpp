#include "category_table.h"

#include "store_layout.h"

namespace store {

namespace {

#define MOBRIX_LIBRARY "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary/"
#define MOBRIX_LIBRARY_PREFIX "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/"

// A category archived through its library copy.
#define COPY_PART(live, name)                                                                      \
    CategoryPart {                                                                                 \
        live "/" name, name ".zip", MOBRIX_LIBRARY name "/", MOBRIX_LIBRARY_PREFIX name "/"        \
    }

const std::vector<Category>& table() {
    static const std::vector<Category> categories = {
        {"TweaksPref",
         "Tweaks' Preferences",
         "tweaks",
         SafeguardForm::TweakPreferences,
         {{"/var/mobile/Library/Preferences", "Preferences.zip", "/var/tmp/Preferences/",
           "var/tmp/Preferences/"}},
         "/var/mobile/Library/",
         "Tweaks' Preferences Safeguard",
         "Tweaks' Preferences Restoration"},
        {"Accounts",
         "Accounts",
         "accounts",
         SafeguardForm::CopyAndArchive,
         {COPY_PART("/var/mobile/Library", "Accounts")},
         "/var/mobile/Library/",
         "Accounts Safeguard",
         "Accounts Restoration"},
        {"AddressBook",
         "Contacts",
         "contacts",
         SafeguardForm::CopyAndArchive,
         {COPY_PART("/var/mobile/Library", "AddressBook")},
         "/var/mobile/Library/",
         "Contacts Safeguard",
         "Contacts Restoration"},
        {"Calendar",
         "Calendar",
         "calendar",
         SafeguardForm::CopyAndArchive,
         {COPY_PART("/var/mobile/Library", "Calendar")},
         "/var/mobile/Library/",
         "Calendar Safeguard",
         "Calendar Restoration"},
        {"Notes",
         "Notes",
         "notes",
         SafeguardForm::CopyAndArchive,
         {COPY_PART("/var/mobile/Library", "Notes")},
         "/var/mobile/Library/",
         "Notes Safeguard",
         "Notes Restoration"},
        {"Safari",
         "Safari",
         "safari",
         SafeguardForm::CopyAndArchive,
         {COPY_PART("/var/mobile/Library", "Safari")},
         "/var/mobile/Library/",
         "Safari Safeguard",
         "Safari Restoration"},
        {"SMS",
         "SMS",
         "sms",
         SafeguardForm::CopyAndArchive,
         {COPY_PART("/var/mobile/Library", "SMS")},
         "/var/mobile/Library/",
         "SMS Safeguard",
         "SMS Restoration"},
        {"Voicemail",
         "Voicemail",
         "voicemail",
         SafeguardForm::CopyAndArchive,
         {COPY_PART("/var/mobile/Library", "Voicemail")},
         "/var/mobile/Library/",
         "Voicemails Safeguard",
         "Voicemails Restoration"},
        {"CallHistory",
         "Call History",
         "call-history",
         SafeguardForm::ArchiveInPlace,
         {{"/var/wireless/Library/CallHistory", "CallHistory.zip",
           "/var/wireless/Library/CallHistory/", "var/wireless/Library/CallHistory/"}},
         "/var/wireless/Library/",
         "Call History Safeguard",
         "Call History Restoration"},
        {"SpringBoard",
         "SpringBoard",
         "springboard",
         SafeguardForm::CopyAndArchive,
         {COPY_PART("/var/mobile/Library", "SpringBoard")},
         "/var/mobile/Library/",
         "SpringBoard Safeguard",
         "SprinBoard Restoration"},
        {"DCIM",
         "Photos",
         "photos",
         SafeguardForm::CopyAndArchive,
         {COPY_PART("/var/mobile/Media", "DCIM"), COPY_PART("/var/mobile/Media", "PhotoData")},
         "/var/mobile/Media/",
         "Photo Safeguard",
         "Photos Restoration"},
    };
    return categories;
}

#undef COPY_PART
#undef MOBRIX_LIBRARY_PREFIX
#undef MOBRIX_LIBRARY

} // namespace

std::string CategoryPart::archivePath() const {
    return std::string(kLibraryFolder) + "/" + std::string(archiveName);
}

std::string CategoryPart::folderName() const {
    auto slash = liveFolder.rfind('/');
    return std::string(liveFolder.substr(slash + 1));
}

std::string CategoryPart::stagedFolder(SafeguardForm form) const {
    std::string staged = std::string(kStagingFolder) + "/" + std::string(entryPrefix);
    if (form != SafeguardForm::TweakPreferences)
        staged.pop_back();
    return staged;
}

std::span<const Category> categoryTable() {
    return table();
}

const Category* findCategory(std::string_view key) {
    for (const auto& category : table())
        if (category.key == key)
            return &category;
    return nullptr;
}

} // namespace store
