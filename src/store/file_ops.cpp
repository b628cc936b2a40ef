#include "file_ops.h"

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

namespace file_ops {

namespace {

std::optional<struct stat> linkStatus(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return std::nullopt;
    return status;
}

std::string writeAndRename(const std::string& path, const std::string& content) {
    const std::string temporary = partialPath(path);
    ::unlink(temporary.c_str());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return "cannot write " + path + ": " + errnoText(errno);
    const char* data = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            int error = errno;
            ::close(fd);
            ::unlink(temporary.c_str());
            return "cannot write " + path + ": " + errnoText(error);
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        return "cannot write " + path + ": " + errnoText(error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        return "cannot replace " + path + ": " + errnoText(error);
    }
    return {};
}

} // namespace

std::string errnoText(int error) {
    return std::strerror(error);
}

std::string partialPath(const std::string& path) {
    fs::path target(path);
    std::string name = ".";
    name += target.filename().string();
    name += ".partial";
    return (target.parent_path() / name).string();
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

std::string remove(const std::string& path) {
    std::error_code error;
    fs::remove_all(path, error);
    if (error && error != std::errc::no_such_file_or_directory)
        return "cannot remove " + path + ": " + error.message();
    return {};
}

std::string moveNoReplace(const std::string& from, const std::string& to) {
    if (exists(to))
        return "cannot move " + from + ": " + to + " exists";
    if (::rename(from.c_str(), to.c_str()) != 0)
        return "cannot move " + from + ": " + errnoText(errno);
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

std::string writeFileAtomically(const std::string& path, const std::string& content) {
    return writeAndRename(path, content);
}

std::string copyFileAtomically(const std::string& from, const std::string& to) {
    auto content = readFile(from);
    if (!content)
        return "cannot read " + from;
    return writeAndRename(to, *content);
}

} // namespace file_ops
