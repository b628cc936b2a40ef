#include "store_checks.h"

#include "command_context.h"
#include "device_root.h"
#include "store_layout.h"

#include <cerrno>
#include <unistd.h>

namespace runtime::store_checks {

namespace {

std::string nameIn(std::string_view devicePath) {
    return std::string(devicePath.substr(devicePath.rfind('/') + 1));
}

platform::Error openFailure(std::string_view devicePath,
                            const store::file_ops::OpenedFolder& folder) {
    const std::string path(devicePath);
    const int code = folder.errorNumber;
    if (folder.missing)
        return {path + " does not exist (create the application folders first)", code};
    if (code == ELOOP)
        return {path + " is a link, not a folder", code};
    if (code == ENOTDIR)
        return {path + " is not a folder", code};
    return {path + ": " + folder.error, code};
}

platform::Status checkStatus(std::string_view devicePath, const struct stat& status) {
    if (status.st_uid != ::geteuid())
        return platform::Error{std::string(devicePath) + " is owned by another user (uid " +
                                   std::to_string(status.st_uid) + ")",
                               EPERM};
    if (status.st_mode & (S_IWGRP | S_IWOTH))
        return platform::Error{std::string(devicePath) + " is writable by other users", EPERM};
    return {};
}

// The application folder is looked up in the preferences folder, which its
// user owns; only the last step has to be ours.
store::file_ops::OpenedFolder openApplicationFolder(const DeviceRoot& root) {
    std::string_view application = store::kApplicationFolder;
    auto parent = store::file_ops::openFolderBeneath(root.root(),
                                                     application.substr(0, application.rfind('/')));
    if (!parent.ok())
        return parent;
    return store::file_ops::openFolderAt(parent.fd.get(), nameIn(application));
}

} // namespace

platform::Status StoreFolders::open(const DeviceRoot& root, std::string_view devicePath) {
    if (fd(devicePath) >= 0)
        return {};
    store::file_ops::OpenedFolder folder;
    if (devicePath == store::kApplicationFolder) {
        folder = openApplicationFolder(root);
    } else {
        if (auto application = open(root, store::kApplicationFolder); !application)
            return application;
        folder = store::file_ops::openFolderAt(fd(store::kApplicationFolder), nameIn(devicePath));
    }
    if (!folder.ok())
        return openFailure(devicePath, folder);
    if (auto safe = checkStatus(devicePath, folder.status); !safe)
        return safe;
    opened_.emplace(std::string(devicePath), std::move(folder));
    return {};
}

int StoreFolders::fd(std::string_view devicePath) const {
    auto found = opened_.find(devicePath);
    return found == opened_.end() ? -1 : found->second.fd.get();
}

platform::Status checkFolder(const CommandContext& context, std::string_view devicePath) {
    StoreFolders folders;
    return folders.open(context.root(), devicePath);
}

bool requireStoreFolders(CommandContext& context, std::string_view subject,
                         std::initializer_list<std::string_view> devicePaths) {
    auto opened = context.storeFolders().open(context.root(), store::kApplicationFolder);
    for (auto it = devicePaths.begin(); opened && it != devicePaths.end(); ++it)
        opened = context.storeFolders().open(context.root(), *it);
    return context.check(subject, opened);
}

} // namespace runtime::store_checks
