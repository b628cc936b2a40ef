#include "descriptor_files.h"

#include "replacement_file.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace descriptor_files {

namespace {

std::string errnoText(int error) {
    return std::strerror(error);
}

std::string joined(std::string_view base, std::string_view name) {
    std::string path(base);
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + std::string(name);
}

// Why a component could not be opened as a folder.
std::string folderError(int parent, const std::string& name, std::string_view shownPath,
                        int error) {
    struct stat status {};
    if (::fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(status.st_mode))
        return std::string(shownPath) + " is a link, not a folder";
    if (error == ENOENT)
        return std::string(shownPath) + " does not exist";
    if (error == ENOTDIR)
        return std::string(shownPath) + " is not a folder";
    return "cannot open " + std::string(shownPath) + ": " + errnoText(error);
}

std::optional<std::string> readAtMost(int fd, size_t limit) {
    std::string bytes;
    char buffer[16384];
    while (bytes.size() <= limit) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
}

} // namespace

OpenedFolder openFolderAt(int folder, const std::string& name, std::string_view shownPath) {
    int fd = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return {platform::UniqueFd(), folderError(folder, name, shownPath, error), error == ENOENT};
    }
    return {platform::UniqueFd(fd), {}, false};
}

OpenedFolder openFolder(const std::string& deviceRoot, std::string_view devicePath) {
    platform::UniqueFd current(::open(deviceRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!current.valid())
        return {platform::UniqueFd(),
                "cannot open the device root " + deviceRoot + ": " + errnoText(errno), false};
    std::string shown;
    size_t at = 0;
    while (at < devicePath.size()) {
        size_t end = devicePath.find('/', at);
        if (end == std::string_view::npos)
            end = devicePath.size();
        std::string name(devicePath.substr(at, end - at));
        at = end + 1;
        if (name.empty() || name == ".")
            continue;
        shown = joined(shown, name);
        if (name == "..")
            return {platform::UniqueFd(), std::string(devicePath) + " climbs out of its folder",
                    false};
        OpenedFolder next = openFolderAt(current.get(), name, shown);
        if (!next.fd.valid())
            return next;
        current = std::move(next.fd);
    }
    return {std::move(current), {}, false};
}

FileContent readOwnedFile(int folder, const std::string& name, size_t maxBytes,
                          std::string_view shownPath) {
    const std::string shown(shownPath);
    // Non-blocking, so that a named pipe put in the file's place cannot hold
    // the program; it is refused below as not a regular file.
    platform::UniqueFd fd(
        ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return {std::nullopt, {}};
        if (errno == ELOOP)
            return {std::nullopt, shown + " is a link, not a file"};
        return {std::nullopt, "cannot open " + shown + ": " + errnoText(errno)};
    }
    struct stat file {};
    struct stat owner {};
    if (::fstat(fd.get(), &file) != 0 || ::fstat(folder, &owner) != 0)
        return {std::nullopt, "cannot examine " + shown + ": " + errnoText(errno)};
    if (!S_ISREG(file.st_mode))
        return {std::nullopt, shown + " is not a regular file"};
    // A file every user may read discloses nothing; any other must be the
    // folder owner's own, under this one name, so that no one can hand over
    // a file they could not read themselves.
    if (!(file.st_mode & S_IROTH)) {
        if (file.st_uid != owner.st_uid)
            return {std::nullopt, shown + " is not owned by its folder's owner"};
        if (file.st_nlink != 1)
            return {std::nullopt, shown + " has more than one name (a hard link)"};
    }
    if (static_cast<unsigned long long>(file.st_size) > maxBytes)
        return {std::nullopt, shown + " is larger than " + std::to_string(maxBytes) + " bytes"};
    auto bytes = readAtMost(fd.get(), maxBytes);
    if (!bytes)
        return {std::nullopt, "cannot read " + shown + ": " + errnoText(errno)};
    if (bytes->size() > maxBytes)
        return {std::nullopt, shown + " is larger than " + std::to_string(maxBytes) + " bytes"};
    return {std::move(bytes), {}};
}

FileContent readOwnedFileAt(const std::string& deviceRoot, std::string_view devicePath,
                            size_t maxBytes) {
    const size_t slash = devicePath.rfind('/');
    if (slash == std::string_view::npos)
        return {std::nullopt, std::string(devicePath) + " is not an absolute path"};
    OpenedFolder folder = openFolder(deviceRoot, devicePath.substr(0, slash));
    if (!folder.fd.valid())
        return {std::nullopt, folder.missing ? std::string() : folder.error};
    return readOwnedFile(folder.fd.get(), std::string(devicePath.substr(slash + 1)), maxBytes,
                         devicePath);
}

std::string writeFileAtomicallyAt(int folder, const std::string& name, const std::string& content,
                                  std::string_view shownPath, unsigned mode) {
    // What an interrupted write of this file left behind, then the new file.
    removeLeftoversAt(folder, [&](std::string_view entry) {
        return platform::ReplacementFile::isLeftoverOf(entry, name) ||
               entry == "." + name + ".partial";
    });
    auto written = platform::replaceFileContent(name, content, mode, folder);
    if (written)
        return {};
    return platform::systemError("cannot write " + std::string(shownPath), written.error().code)
        .message;
}

void removeLeftoversAt(int folder, std::string_view prefix) {
    removeLeftoversAt(folder, [&](std::string_view name) { return name.starts_with(prefix); });
}

void removeLeftoversAt(int folder, const std::function<bool(std::string_view)>& isLeftover) {
    int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return;
    DIR* listing = ::fdopendir(copy);
    if (!listing) {
        ::close(copy);
        return;
    }
    ::rewinddir(listing);
    while (const dirent* entry = ::readdir(listing)) {
        std::string_view name(entry->d_name);
        if (name == "." || name == ".." || !isLeftover(name))
            continue;
        struct stat status {};
        if (::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode))
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(listing);
}

} // namespace descriptor_files
