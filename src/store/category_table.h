#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace store {

// How a category's live folder becomes its archive.
enum class SafeguardForm {
    TweakPreferences, // through a scratch copy under /var/tmp, less the store itself
    CopyAndArchive,   // through a copy in the library folder
    ArchiveInPlace,   // straight from the live folder
};

// One live folder and the archive made from it.
struct CategoryPart {
    std::string_view liveFolder;  // "/var/mobile/Library/Accounts"
    std::string_view archiveName; // "Accounts.zip", in the library folder
    std::string_view zipInput;    // folder given to the zip tool, ending in "/"
    std::string_view entryPrefix; // what every archive entry begins with

    std::string archivePath() const;
    std::string folderName() const; // last component of the live folder
    // The extracted folder in the staging folder; tweak preferences keep the
    // trailing "/" of their prefix.
    std::string stagedFolder(SafeguardForm form) const;
};

struct Category {
    std::string_view key;         // "Accounts": Save + key, Restore + key
    std::string_view displayName; // "Contacts": used in failure lines
    std::string_view cliWord;     // "contacts": the command line's word
    SafeguardForm form;
    std::vector<CategoryPart> parts;
    std::string_view restoreTarget;
    std::string_view safeguardTitle;
    std::string_view restorationTitle;
};

// The eleven categories in table order, which is the order of the commands
// over everything.
std::span<const Category> categoryTable();
const Category* findCategory(std::string_view key);

// The titles of the commands that are not single categories.
inline constexpr std::string_view kSourcesSafeguardTitle = "Cydia Sources Safeguard";
inline constexpr std::string_view kSourcesRestorationTitle = "Cydia Sources Restoration";
inline constexpr std::string_view kPackagesSafeguardTitle = "Cydia Packages Safeguard";
inline constexpr std::string_view kPackagesRestorationTitle = "Cydia Packages Restoration";
inline constexpr std::string_view kAllSafeguardTitle = "All Preferences Safeguard";
inline constexpr std::string_view kAllRestorationTitle = "All Preferences Restoration";

} // namespace store
