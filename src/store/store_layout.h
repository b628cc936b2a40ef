#pragma once

#include <string_view>

// Every path of the backup store and of the files around it, as it stands on
// the device. DeviceRoot maps them under another root.
namespace store {

inline constexpr std::string_view kApplicationFolder = "/var/mobile/Library/Preferences/Mobrix";
inline constexpr std::string_view kLibraryFolder =
    "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary";
inline constexpr std::string_view kSourcesFolder =
    "/var/mobile/Library/Preferences/Mobrix/CydiaSources";
inline constexpr std::string_view kPackagesFolder =
    "/var/mobile/Library/Preferences/Mobrix/CydiaPackages";
inline constexpr std::string_view kStagingFolder = "/var/mobile/Library/Preferences/Mobrix/tmp";
inline constexpr std::string_view kApplicationFolderName = "Mobrix";

// Recorded package-manager state.
inline constexpr std::string_view kRecordedSourcesList =
    "/var/mobile/Library/Preferences/Mobrix/CydiaSources/sources.list";
inline constexpr std::string_view kRecordedDefaultList =
    "/var/mobile/Library/Preferences/Mobrix/CydiaSources/cydia.list";
inline constexpr std::string_view kPackageRecord =
    "/var/mobile/Library/Preferences/Mobrix/CydiaPackages/installed-packages.txt";

// The package manager's own files.
inline constexpr std::string_view kCacheSourcesList =
    "/var/mobile/Library/Caches/com.saurik.Cydia/sources.list";
inline constexpr std::string_view kDefaultSourcesList = "/etc/apt/sources.list.d/cydia.list";
inline constexpr std::string_view kAddedSourcesList = "/etc/apt/sources.list.d/MOXSources.list";

// The application bundle and its two scripts.
inline constexpr std::string_view kShippedSelectionsScript =
    "/Applications/Mobrix.app/DpkgGetSelections.sh";
inline constexpr std::string_view kSelectionsScript =
    "/Applications/Mobrix.app/.DpkgGetSelections.sh";
inline constexpr std::string_view kShippedReinstallScript =
    "/Applications/Mobrix.app/RestoreCydiaApps.sh";
inline constexpr std::string_view kReinstallScript =
    "/Applications/Mobrix.app/.RestoreCydiaApps.sh";

// Scratch copy of the preferences for the tweak-preferences safeguard.
inline constexpr std::string_view kScratchFolder = "/var/tmp/Preferences";

// Tools, run by absolute path and never re-rooted.
inline constexpr std::string_view kCopyTool = "/bin/cp";
inline constexpr std::string_view kRemoveTool = "/bin/rm";
inline constexpr std::string_view kMakeFolderTool = "/bin/mkdir";
inline constexpr std::string_view kZipTool = "/usr/bin/zip";
inline constexpr std::string_view kUnzipTool = "/usr/bin/unzip";
inline constexpr std::string_view kShellTool = "/bin/sh";
inline constexpr std::string_view kKillTool = "/usr/bin/killall";
inline constexpr std::string_view kRebootTool = "/sbin/reboot";

// Progress labels and closing texts shared by the commands.
inline constexpr std::string_view kSafeguardLabel = "Safeguard in progress...";
inline constexpr std::string_view kSafeguardDone = "Safeguard done !";
inline constexpr std::string_view kRestorationLabel = "Restoration in progress...";
inline constexpr std::string_view kRestorationDone = "Restoration done !";
inline constexpr std::string_view kCloseButton = "Close";

} // namespace store
