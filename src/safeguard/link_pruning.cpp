#include "link_pruning.h"

#include "file_ops_at.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safeguard {

namespace {

std::string joined(const std::vector<std::string>& folder, const std::string& name) {
    std::string path;
    for (const auto& part : folder)
        path += part + "/";
    return path + name;
}

std::optional<std::string> linkTarget(int folderFd, const std::string& name) {
    std::string target(4096, '\0');
    ssize_t length = ::readlinkat(folderFd, name.c_str(), target.data(), target.size());
    if (length < 0)
        return std::nullopt;
    target.resize(static_cast<size_t>(length));
    return target;
}

void prune(int folderFd, std::vector<std::string>& folder, const std::string& excluded,
           std::vector<std::string>& dropped) {
    auto names = store::file_ops::entryNames(folderFd);
    if (!names)
        return;
    for (const auto& name : *names) {
        struct stat status {};
        if (::fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISLNK(status.st_mode)) {
            auto target = linkTarget(folderFd, name);
            if (!target || !linkStaysInside(folder, *target, excluded)) {
                ::unlinkat(folderFd, name.c_str(), 0);
                dropped.push_back(joined(folder, name));
            }
        } else if (S_ISDIR(status.st_mode)) {
            auto child = store::file_ops::openFolderAt(folderFd, name);
            if (!child.ok())
                continue;
            folder.push_back(name);
            prune(child.fd.get(), folder, excluded, dropped);
            folder.pop_back();
        }
    }
}

} // namespace

bool linkStaysInside(const std::vector<std::string>& linkFolder, const std::string& target,
                     const std::string& excludedName) {
    if (target.empty() || target.front() == '/')
        return false;
    std::vector<std::string> at = linkFolder;
    size_t start = 0;
    while (start <= target.size()) {
        size_t end = target.find('/', start);
        if (end == std::string::npos)
            end = target.size();
        std::string part = target.substr(start, end - start);
        if (part == "..") {
            if (at.empty())
                return false;
            at.pop_back();
        } else if (!part.empty() && part != ".") {
            at.push_back(part);
        }
        start = end + 1;
    }
    return excludedName.empty() || at.empty() || at.front() != excludedName;
}

std::vector<std::string> pruneOutsideLinks(int copyFolderFd, const std::string& excludedName) {
    std::vector<std::string> dropped;
    std::vector<std::string> folder;
    prune(copyFolderFd, folder, excludedName, dropped);
    return dropped;
}

} // namespace safeguard
