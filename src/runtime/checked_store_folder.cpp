#include "checked_store_folder.h"

#include "command_context.h"
#include "store_checks.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

platform::UniqueFd openCheckedStoreFolder(CommandContext& context, std::string_view subject,
                                          std::string_view storeFolder) {
    if (!runtime::store_checks::requireStoreFolders(context, subject, {storeFolder}))
        return platform::UniqueFd();
    // The folder the command checked and keeps open, whatever happens to its name.
    platform::UniqueFd folder(::fcntl(context.storeFolders().fd(storeFolder), F_DUPFD_CLOEXEC, 0));
    if (!folder.valid())
        context.fail(subject,
                     "cannot use " + std::string(storeFolder) + ": " + std::strerror(errno));
    return folder;
}
