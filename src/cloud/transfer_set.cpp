#include "transfer_set.h"

namespace cloud {
namespace {

#define MOBRIX_STORE "/var/mobile/Library/Preferences/Mobrix"
#define LIBRARY_FILE(name)                                                                         \
    TransferFile {                                                                                 \
        MOBRIX_STORE "/MobrixLibrary/" name, "/Mobrix/MobrixLibrary/", name,                       \
            "/Mobrix/MobrixLibrary/" name, MOBRIX_STORE "/MobrixLibrary"                           \
    }

constexpr TransferFile kTransferSet[] = {
    LIBRARY_FILE("Accounts.zip"),
    LIBRARY_FILE("AddressBook.zip"),
    LIBRARY_FILE("Calendar.zip"),
    LIBRARY_FILE("CallHistory.zip"),
    LIBRARY_FILE("Notes.zip"),
    LIBRARY_FILE("Preferences.zip"),
    LIBRARY_FILE("Safari.zip"),
    LIBRARY_FILE("Voicemail.zip"),
    {MOBRIX_STORE "/CydiaPackages/installed-packages.txt", "/Mobrix/CydiaPackages/",
     "installed-packages.txt", "/Mobrix/CydiaPackages/installed-packages.txt",
     MOBRIX_STORE "/CydiaPackages"},
    {MOBRIX_STORE "/CydiaSources/cydia.list", "/Mobrix/CydiaSources/", "cydia.list",
     "/Mobrix/CydiaSources/cydia.list", MOBRIX_STORE "/CydiaSources"},
    {MOBRIX_STORE "/CydiaSources/metadata.plist", "/Mobrix/CydiaSources/", "metadata.plist",
     "/Mobrix/CydiaSources/metadata.plist", MOBRIX_STORE "/CydiaSources"},
};

#undef LIBRARY_FILE
#undef MOBRIX_STORE

} // namespace

std::span<const TransferFile> transferSet() {
    return kTransferSet;
}

} // namespace cloud
