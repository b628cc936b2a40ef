#include "descriptor_files.h"

#include "file_ops_at.h"
#include "replacement_file.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store::descriptor_files {

namespace {

platform::Error refused(std::string message) {
    return {std::move(message), 0};
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

FileContent readOwnedFile(int folder, const std::string& name, size_t maxBytes,
                          std::string_view shownPath) {
    const std::string shown(shownPath);
    // Non-blocking, so that a named pipe put in the file's place cannot hold
    // the program; it is refused below as not a regular file.
    platform::UniqueFd fd(
        ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return std::optional<std::string>();
        if (errno == ELOOP)
            return refused(shown + " is a link, not a file");
        return platform::systemError("cannot open " + shown, errno);
    }
    struct stat file {};
    struct stat owner {};
    if (::fstat(fd.get(), &file) != 0 || ::fstat(folder, &owner) != 0)
        return platform::systemError("cannot examine " + shown, errno);
    if (!S_ISREG(file.st_mode))
        return refused(shown + " is not a regular file");
    // A file every user may read discloses nothing; any other must be the
    // folder owner's own, under this one name, so that no one can hand over
    // a file they could not read themselves.
    if (!(file.st_mode & S_IROTH)) {
        if (file.st_uid != owner.st_uid)
            return refused(shown + " is not owned by its folder's owner");
        if (file.st_nlink != 1)
            return refused(shown + " has more than one name (a hard link)");
    }
    if (static_cast<unsigned long long>(file.st_size) > maxBytes)
        return refused(shown + " is larger than " + std::to_string(maxBytes) + " bytes");
    auto bytes = readAtMost(fd.get(), maxBytes);
    if (!bytes)
        return platform::systemError("cannot read " + shown, errno);
    if (bytes->size() > maxBytes)
        return refused(shown + " is larger than " + std::to_string(maxBytes) + " bytes");
    return bytes;
}

FileContent readOwnedFileAt(const std::string& deviceRoot, std::string_view devicePath,
                            size_t maxBytes) {
    const size_t slash = devicePath.rfind('/');
    if (slash == std::string_view::npos)
        return refused(std::string(devicePath) + " is not an absolute path");
    auto folder = store::file_ops::openFolderBeneath(deviceRoot, devicePath.substr(0, slash));
    if (folder.missing)
        return std::optional<std::string>();
    if (!folder.ok())
        return refused(folder.error);
    return readOwnedFile(folder.fd.get(), std::string(devicePath.substr(slash + 1)), maxBytes,
                         devicePath);
}

platform::Status writeFileAtomicallyAt(int folder, const std::string& name,
                                       const std::string& content, std::string_view shownPath,
                                       unsigned mode) {
    // What an interrupted write of this file left behind, then the new file.
    removeLeftoversAt(folder, [&](std::string_view entry) {
        return platform::ReplacementFile::isLeftoverOf(entry, name) ||
               entry == "." + name + ".partial";
    });
    auto written = platform::replaceFileContent(name, content, mode, folder);
    if (written)
        return {};
    return platform::systemError("cannot write " + std::string(shownPath), written.error().code);
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

} // namespace store::descriptor_files
