#include "store_folders.h"

#include "command_context.h"
#include "device_root.h"
#include "file_ops.h"
#include "file_ops_at.h"
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
    context.check("", runtime::store_checks::checkFolder(context, devicePath));
}

} // namespace

std::span<const StoreFolder> storeFolders() {
    return kFolders;
}

void createFolders(CommandContext& context, std::span<const StoreFolder> folders) {
    // The application folder is made in the folder above it, entered by
    // descriptor, and the others in the application folder once it is open
    // and checked: "/bin/mkdir" "-p" only ever makes one name in a folder it
    // was handed, never a path through folders that their user could swap
    // for links. The folder above belongs to the device's user; it is not
    // made here.
    std::string_view application = store::kApplicationFolder;
    const size_t cut = application.rfind('/');
    auto above =
        store::file_ops::openFolderBeneath(context.root().root(), application.substr(0, cut));
    if (!above.ok()) {
        context.fail("", above.missing ? std::string(application.substr(0, cut)) + " does not exist"
                                       : above.error);
        return;
    }
    ChildSetup in;
    in.workingFolderFd = above.fd.get();
    if (!context.runWith(folders.front().choice, store::kMakeFolderTool,
                         {"-p", std::string(application.substr(cut + 1))}, Wait::InputBlocked, in))
        return;
    if (!context.check("", context.storeFolders().open(context.root(), application)))
        return;
    in.workingFolderFd = context.storeFolders().fd(application);
    for (const auto& folder : folders) {
        if (folder.devicePath == application)
            continue;
        if (context.runWith(folder.choice, store::kMakeFolderTool,
                            {"-p", std::string(folder.devicePath.substr(application.size() + 1))},
                            Wait::InputBlocked, in))
            requireSafe(context, folder.devicePath);
    }
}

void emptyLibrary(CommandContext& context) {
    if (!runtime::store_checks::requireStoreFolders(context, "", {}))
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
    if (!store::file_ops::exists(added))
        return false;
    context.check("", store::file_ops::remove(added));
    return true;
}

} // namespace maintenance
