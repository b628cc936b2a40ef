#include "staged_tree.h"

#include "file_ops_at.h"
#include "link_pruning.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace restore::staged_tree {

namespace {

std::string joined(const std::vector<std::string>& folder, const std::string& name) {
    std::string path;
    for (const auto& part : folder)
        path += part + "/";
    return path + name;
}

std::optional<std::string> firstUnsafe(int folderFd, std::vector<std::string>& folder,
                                       const std::string& excluded) {
    auto names = store::file_ops::entryNames(folderFd);
    if (!names)
        return joined(folder, "") + ", which cannot be listed";
    for (const auto& name : *names) {
        struct stat status {};
        if (::fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return joined(folder, name) + ", which cannot be examined";
        if (S_ISLNK(status.st_mode)) {
            std::string target(4096, '\0');
            ssize_t length = ::readlinkat(folderFd, name.c_str(), target.data(), target.size());
            target.resize(length < 0 ? 0 : static_cast<size_t>(length));
            if (!safeguard::linkStaysInside(folder, target, excluded))
                return joined(folder, name) + ", a link that leads out of its folder";
        } else if (S_ISDIR(status.st_mode)) {
            auto child = store::file_ops::openFolderAt(folderFd, name);
            if (!child.ok())
                return joined(folder, name) + ", which cannot be opened";
            folder.push_back(name);
            auto unsafe = firstUnsafe(child.fd.get(), folder, excluded);
            folder.pop_back();
            if (unsafe)
                return unsafe;
        } else if (!S_ISREG(status.st_mode)) {
            return joined(folder, name) + ", which is neither a file nor a folder";
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> unsafeEntry(int stagedFd, const std::string& excludedName) {
    std::vector<std::string> folder;
    return firstUnsafe(stagedFd, folder, excludedName);
}

} // namespace restore::staged_tree
