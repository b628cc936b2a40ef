#include "file_ops_at.h"

#include "file_ops.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace store::file_ops {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

OpenedFolder opened(int fd, const std::string& shownName) {
    OpenedFolder folder;
    if (fd < 0) {
        folder.errorNumber = errno;
        folder.missing = errno == ENOENT;
        folder.error = errno == ELOOP     ? shownName + " is a link, not a folder"
                       : errno == ENOTDIR ? shownName + " is not a folder"
                                          : "cannot open " + shownName + ": " + errnoText(errno);
        return folder;
    }
    folder.fd = UniqueFd(fd);
    if (::fstat(fd, &folder.status) != 0) {
        folder.error = "cannot examine " + shownName + ": " + errnoText(errno);
        folder.fd = UniqueFd();
    }
    return folder;
}

// Opens name in a folder; a link there is told as ELOOP whatever the kernel
// said (O_DIRECTORY may win over O_NOFOLLOW).
OpenedFolder openChild(int folderFd, const std::string& name, const std::string& shownName) {
    int fd = ::openat(folderFd, name.c_str(), kFolderFlags);
    if (fd < 0 && errno == ENOTDIR) {
        struct stat status {};
        if (::fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(status.st_mode))
            errno = ELOOP;
        else
            errno = ENOTDIR;
    }
    return opened(fd, shownName);
}

std::vector<std::string> components(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

// A link that only root can have made or changed: root's, in a folder of
// root's that nobody else can write. Such links (a system's "/var" pointing
// elsewhere) are followed; any other link on the way is refused.
std::optional<std::string> trustedLinkTarget(const OpenedFolder& folder, const std::string& name) {
    struct stat link {};
    if (folder.status.st_uid != 0 || (folder.status.st_mode & (S_IWGRP | S_IWOTH)) ||
        ::fstatat(folder.fd.get(), name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(link.st_mode) || link.st_uid != 0)
        return std::nullopt;
    std::string target(4096, '\0');
    ssize_t length = ::readlinkat(folder.fd.get(), name.c_str(), target.data(), target.size());
    if (length <= 0)
        return std::nullopt;
    target.resize(static_cast<size_t>(length));
    return target;
}

OpenedFolder openFolderBeneath(const std::string& hostRoot, std::string_view devicePath) {
    constexpr int kMostLinks = 8;
    auto openRoot = [&] {
        return opened(::open(hostRoot.c_str(), kFolderFlags & ~O_NOFOLLOW), hostRoot);
    };
    OpenedFolder folder = openRoot();
    std::vector<std::string> pending = components(devicePath);
    std::reverse(pending.begin(), pending.end());
    std::string shown;
    uid_t user = 0;
    gid_t group = 0;
    int links = 0;
    while (!pending.empty() && folder.ok()) {
        const std::string part = std::move(pending.back());
        pending.pop_back();
        if (part == "..") {
            folder = OpenedFolder();
            folder.errorNumber = EACCES;
            folder.error = std::string(devicePath) + " climbs out of its folder";
            break;
        }
        OpenedFolder next = openChild(folder.fd.get(), part, shown + "/" + part);
        if (!next.ok() && next.errorNumber == ELOOP && links < kMostLinks) {
            if (auto target = trustedLinkTarget(folder, part)) {
                ++links;
                auto parts = components(*target);
                pending.insert(pending.end(), parts.rbegin(), parts.rend());
                if (target->front() == '/')
                    folder = openRoot();
                continue;
            }
        }
        shown += "/" + part;
        folder = std::move(next);
        if (folder.ok() && folder.status.st_uid != 0)
            user = folder.status.st_uid, group = folder.status.st_gid;
    }
    folder.pathUser = user;
    folder.pathGroup = group;
    return folder;
}

OpenedFolder openFolderAt(int folderFd, const std::string& name) {
    return openChild(folderFd, name, name);
}

std::optional<std::vector<std::string>> entryNames(int folderFd) {
    int copy = ::openat(folderFd, ".", kFolderFlags);
    if (copy < 0)
        return std::nullopt;
    DIR* folder = ::fdopendir(copy);
    if (!folder) {
        ::close(copy);
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(folder)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
}

platform::Status chownTree(int folderFd, uid_t owner, gid_t group) {
    if (::fchown(folderFd, owner, group) != 0)
        return platform::systemError("cannot give a staged folder to its owner", errno);
    auto names = entryNames(folderFd);
    if (!names)
        return platform::systemError("cannot list a staged folder", errno);
    for (const auto& name : *names) {
        OpenedFolder child = openFolderAt(folderFd, name);
        if (child.ok()) {
            if (auto given = chownTree(child.fd.get(), owner, group); !given)
                return given;
        } else if (::fchownat(folderFd, name.c_str(), owner, group, AT_SYMLINK_NOFOLLOW) != 0) {
            return platform::systemError("cannot give " + name + " to its owner", errno);
        }
    }
    return {};
}

platform::Status removeTreeAt(int folderFd, const std::string& name) {
    if (::unlinkat(folderFd, name.c_str(), 0) == 0 || errno == ENOENT)
        return {};
    OpenedFolder child = openFolderAt(folderFd, name);
    if (!child.ok())
        return child.missing ? platform::Status()
                             : platform::Error{"cannot remove " + name + ": " + child.error,
                                               child.errorNumber};
    auto names = entryNames(child.fd.get());
    if (!names)
        return platform::systemError("cannot list " + name, errno);
    for (const auto& inner : *names)
        if (auto removed = removeTreeAt(child.fd.get(), inner); !removed)
            return removed;
    if (::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
        return platform::systemError("cannot remove " + name, errno);
    return {};
}

std::string descriptorPath(int fd, std::string_view name) {
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (!name.empty())
        path += "/" + std::string(name);
    return path;
}

} // namespace store::file_ops
