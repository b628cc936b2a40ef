#include "store_folders.h"

#include "command_context.h"
#include "file_ops.h"
#include "store_checks.h"
#include "store_layout.h"

#include <vector>

namespace maintenance {

namespace {

constexpr StoreFolder kFolders[] = {
    {"Parent Folder: Mobrix", store::kApplicationFolder, "Create Application Folder"},
    {"CydiaSources", store::kSourcesFolder, "Create Cydia Sources Folder"},
    {"CydiaPackages", store::kPackagesFolder, "Create Cydia Packages Folder"},
    {"MobrixLibrary", store::kLibraryFolder, "Create Library Folder"},
};

void requireSafe(CommandContext& context, std::string_view devicePath) {
    if (auto reason = store_checks::unsafeFolderReason(context, devicePath); !reason.empty())
        context.fail("", reason);
}

} // namespace

std::span<const StoreFolder> storeFolders() {
    return kFolders;
}

void createFolders(CommandContext& context, std::span<const StoreFolder> folders) {
    // mkdir -p would follow a link standing at the application folder.
    if (file_ops::isLink(context.path(store::kApplicationFolder))) {
        requireSafe(context, store::kApplicationFolder);
        return;
    }
    std::vector<std::string_view> made;
    for (const auto& folder : folders)
        if (context.run(folder.choice, store::kMakeFolderTool,
                        {"-p", context.path(folder.devicePath)}, Wait::InputBlocked))
            made.push_back(folder.devicePath);
    if (made.empty())
        return;
    requireSafe(context, store::kApplicationFolder);
    for (auto devicePath : made)
        if (devicePath != store::kApplicationFolder)
            requireSafe(context, devicePath);
}

void emptyLibrary(CommandContext& context) {
    if (!store_checks::requireStoreFolders(context, "", {}))
        return;
    // Both tools work in the application folder, entered by descriptor: a
    // store renamed away and replaced by a link redirects neither.
    ChildSetup inStore;
    inStore.workingFolderFd = context.storeFolders().fd(store::kApplicationFolder);
    if (inStore.workingFolderFd < 0)
        return;
    const std::string library(store::kLibraryFolder.substr(store::kApplicationFolder.size() + 1));
    if (context.runWith("Library folder", store::kRemoveTool, {"-rf", library}, Wait::InputBlocked,
                        inStore))
        context.runWith("Library folder", store::kMakeFolderTool, {"-p", library},
                        Wait::InputBlocked, inStore);
}

bool removeAddedSources(CommandContext& context) {
    const std::string added = context.path(store::kAddedSourcesList);
    if (!file_ops::exists(added))
        return false;
    context.check("", file_ops::remove(added));
    return true;
}

} // namespace maintenance
