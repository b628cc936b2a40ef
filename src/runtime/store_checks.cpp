#include "store_checks.h"

#include "command_context.h"
#include "device_root.h"
#include "store_layout.h"

#include <cerrno>
#include <unistd.h>

namespace store_checks {

namespace {

std::string nameIn(std::string_view devicePath) {
    return std::string(devicePath.substr(devicePath.rfind('/') + 1));
}

std::string openFailure(std::string_view devicePath, const file_ops::OpenedFolder& folder) {
    if (folder.missing)
        return std::string(devicePath) + " does not exist (create the application folders first)";
    if (folder.errorNumber == ELOOP)
        return std::string(devicePath) + " is a link, not a folder";
    if (folder.errorNumber == ENOTDIR)
        return std::string(devicePath) + " is not a folder";
    return std::string(devicePath) + ": " + folder.error;
}

std::string unsafeStatus(std::string_view devicePath, const struct stat& status) {
    if (status.st_uid != ::geteuid())
        return std::string(devicePath) + " is owned by another user (uid " +
               std::to_string(status.st_uid) + ")";
    if (status.st_mode & (S_IWGRP | S_IWOTH))
        return std::string(devicePath) + " is writable by other users";
    return {};
}

// The application folder is looked up in the preferences folder, which its
// user owns; only the last step has to be ours.
file_ops::OpenedFolder openApplicationFolder(const DeviceRoot& root) {
    std::string_view application = store::kApplicationFolder;
    auto parent =
        file_ops::openFolderBeneath(root.root(), application.substr(0, application.rfind('/')));
    if (!parent.ok())
        return parent;
    return file_ops::openFolderAt(parent.fd.get(), nameIn(application));
}

} // namespace

std::string StoreFolders::open(const DeviceRoot& root, std::string_view devicePath) {
    if (fd(devicePath) >= 0)
        return {};
    file_ops::OpenedFolder folder;
    if (devicePath == store::kApplicationFolder) {
        folder = openApplicationFolder(root);
    } else {
        if (auto reason = open(root, store::kApplicationFolder); !reason.empty())
            return reason;
        folder = file_ops::openFolderAt(fd(store::kApplicationFolder), nameIn(devicePath));
    }
    if (!folder.ok())
        return openFailure(devicePath, folder);
    if (auto reason = unsafeStatus(devicePath, folder.status); !reason.empty())
        return reason;
    opened_.emplace(std::string(devicePath), std::move(folder));
    return {};
}

int StoreFolders::fd(std::string_view devicePath) const {
    auto found = opened_.find(devicePath);
    return found == opened_.end() ? -1 : found->second.fd.get();
}

std::string unsafeFolderReason(const CommandContext& context, std::string_view devicePath) {
    StoreFolders folders;
    return folders.open(context.root(), devicePath);
}

bool requireStoreFolders(CommandContext& context, std::string_view subject,
                         std::initializer_list<std::string_view> devicePaths) {
    std::string reason = context.storeFolders().open(context.root(), store::kApplicationFolder);
    for (auto it = devicePaths.begin(); reason.empty() && it != devicePaths.end(); ++it)
        reason = context.storeFolders().open(context.root(), *it);
    if (reason.empty())
        return true;
    context.fail(subject, reason);
    return false;
}

} // namespace store_checks
