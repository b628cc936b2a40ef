#include "file_ops.h"

#include "descriptor_files.h"
#include "unique_fd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace store::file_ops {

namespace {

std::optional<struct stat> linkStatus(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return std::nullopt;
    return status;
}

} // namespace

std::string errnoText(int error) {
    return std::strerror(error);
}

bool exists(const std::string& path) {
    return linkStatus(path).has_value();
}

bool isFolder(const std::string& path) {
    auto status = linkStatus(path);
    return status && S_ISDIR(status->st_mode);
}

bool isLink(const std::string& path) {
    auto status = linkStatus(path);
    return status && S_ISLNK(status->st_mode);
}

platform::Status remove(const std::string& path) {
    std::error_code error;
    fs::remove_all(path, error);
    if (error && error != std::errc::no_such_file_or_directory)
        return platform::Error{"cannot remove " + path + ": " + error.message(), error.value()};
    return {};
}

platform::Status moveNoReplace(const std::string& from, const std::string& to) {
    // One step: nothing can appear at the destination between a check and the move.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
        return errno == EEXIST
                   ? platform::Error{"cannot move " + from + ": " + to + " exists", EEXIST}
                   : platform::systemError("cannot move " + from, errno);
    return {};
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return content.str();
}

platform::Status writeFileAtomically(const std::string& path, const std::string& content) {
    const fs::path target(path);
    platform::UniqueFd folder(
        ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid())
        return platform::systemError("cannot write " + path, errno);
    // Readable by everyone, like the package manager's own lists; written
    // beside, flushed, renamed, after removing what an interrupted write left.
    return store::descriptor_files::writeFileAtomicallyAt(folder.get(), target.filename().string(),
                                                          content, path, 0644);
}

} // namespace store::file_ops
