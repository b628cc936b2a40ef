#include "checked_store_folder.h"

#include "command_context.h"
#include "descriptor_files.h"
#include "device_root.h"
#include "store_checks.h"
#include "store_layout.h"

platform::UniqueFd openCheckedStoreFolder(CommandContext& context, std::string_view subject,
                                          std::string_view storeFolder) {
    if (!store_checks::requireStoreFolders(context, subject, {storeFolder}))
        return platform::UniqueFd();
    auto application =
        descriptor_files::openFolder(context.root().root(), store::kApplicationFolder);
    std::string reason = application.error;
    if (reason.empty())
        reason = descriptor_files::unsafeStoreFolderReason(application.fd.get(),
                                                           store::kApplicationFolder);
    descriptor_files::OpenedFolder folder;
    if (reason.empty()) {
        const std::string name(storeFolder.substr(store::kApplicationFolder.size() + 1));
        folder = descriptor_files::openFolderAt(application.fd.get(), name, storeFolder);
        reason = folder.error;
    }
    if (reason.empty())
        reason = descriptor_files::unsafeStoreFolderReason(folder.fd.get(), storeFolder);
    if (reason.empty())
        return std::move(folder.fd);
    context.fail(subject, reason + " (changed while in use)");
    return platform::UniqueFd();
}
