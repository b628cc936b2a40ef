#include "store_checks.h"

#include "command_context.h"
#include "store_layout.h"

#include <sys/stat.h>
#include <unistd.h>

namespace store_checks {

std::string unsafeFolderReason(const CommandContext& context, std::string_view devicePath) {
    const std::string path = context.path(devicePath);
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return std::string(devicePath) + " does not exist (create the application folders first)";
    if (S_ISLNK(status.st_mode))
        return std::string(devicePath) + " is a link, not a folder";
    if (!S_ISDIR(status.st_mode))
        return std::string(devicePath) + " is not a folder";
    if (status.st_uid != ::geteuid())
        return std::string(devicePath) + " is owned by another user (uid " +
               std::to_string(status.st_uid) + ")";
    if (status.st_mode & (S_IWGRP | S_IWOTH))
        return std::string(devicePath) + " is writable by other users";
    return {};
}

bool requireStoreFolders(CommandContext& context, std::string_view subject,
                         std::initializer_list<std::string_view> devicePaths) {
    std::string reason = unsafeFolderReason(context, store::kApplicationFolder);
    for (auto it = devicePaths.begin(); reason.empty() && it != devicePaths.end(); ++it)
        reason = unsafeFolderReason(context, *it);
    if (reason.empty())
        return true;
    context.fail(subject, reason);
    return false;
}

} // namespace store_checks
