#include "replacement_file.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::string_view kSuffixPattern = "XXXXXX";

std::string_view folderOf(std::string_view path) {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view{} : path.substr(0, slash + 1);
}

std::string_view nameOf(std::string_view path) {
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// mkostemp has no descriptor-relative form: try random names with O_EXCL.
int createExclusive(int folderFd, std::string& temporary) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::size_t suffix = temporary.size() - kSuffixPattern.size();
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[6];
        if (::getentropy(random, sizeof random) != 0)
            return -1;
        for (std::size_t i = 0; i < sizeof random; ++i)
            temporary[suffix + i] = kLetters[random[i] % (sizeof kLetters - 1)];
        int fd = ::openat(folderFd, temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

Status syncFolder(int folderFd, std::string_view destination) {
    std::string folder(folderOf(destination));
    if (folder.empty())
        folder = ".";
    int fd = ::openat(folderFd, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return systemError("cannot open the folder of " + std::string(nameOf(destination)), errno);
    int result = ::fsync(fd);
    int error = errno;
    ::close(fd);
    if (result != 0 && error != EINVAL) // some file systems cannot sync folders
        return systemError("cannot flush the folder of " + std::string(nameOf(destination)), error);
    return {};
}

} // namespace

ReplacementFile::ReplacementFile(int folderFd, std::string destination, std::string temporary,
                                 int fd)
    : folderFd_(folderFd), destination_(std::move(destination)), temporary_(std::move(temporary)),
      fd_(fd) {}

Result<ReplacementFile> ReplacementFile::create(const std::string& path, int folderFd) {
    if (folderFd < 0)
        folderFd = AT_FDCWD;
    std::string temporary(folderOf(path));
    temporary += '.';
    temporary += nameOf(path);
    temporary += '.';
    temporary += kSuffixPattern;
    int fd = createExclusive(folderFd, temporary);
    if (fd < 0)
        return systemError("cannot write beside " + std::string(nameOf(path)), errno);
    return ReplacementFile(folderFd, path, std::move(temporary), fd);
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : folderFd_(other.folderFd_), destination_(std::move(other.destination_)),
      temporary_(std::move(other.temporary_)), fd_(std::exchange(other.fd_, -1)) {
    other.temporary_.clear();
}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
    if (this != &other) {
        discard();
        folderFd_ = other.folderFd_;
        destination_ = std::move(other.destination_);
        temporary_ = std::exchange(other.temporary_, {});
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

ReplacementFile::~ReplacementFile() {
    discard();
}

Status ReplacementFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return systemError("cannot write " + std::string(nameOf(destination_)), errno);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

Status ReplacementFile::setMode(unsigned mode) {
    if (::fchmod(fd_, mode) != 0)
        return systemError("cannot set the mode of " + std::string(nameOf(destination_)), errno);
    return {};
}

Status ReplacementFile::commit() {
    const std::string name(nameOf(destination_));
    if (::fsync(fd_) != 0)
        return systemError("cannot write " + name, errno);
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0)
        return systemError("cannot write " + name, errno);
    if (::renameat(folderFd_, temporary_.c_str(), folderFd_, destination_.c_str()) != 0)
        return systemError("cannot replace " + name, errno);
    temporary_.clear();
    return syncFolder(folderFd_, destination_);
}

void ReplacementFile::discard() {
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (!temporary_.empty())
        ::unlinkat(folderFd_, std::exchange(temporary_, {}).c_str(), 0);
}

Status ReplacementFile::remove() {
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (temporary_.empty())
        return {};
    const std::string temporary = std::exchange(temporary_, {});
    if (::unlinkat(folderFd_, temporary.c_str(), 0) != 0 && errno != ENOENT)
        return systemError("cannot remove " + std::string(nameOf(temporary)), errno);
    return {};
}

bool ReplacementFile::isLeftoverOf(std::string_view name, std::string_view finalName) {
    const std::size_t expected = 1 + finalName.size() + 1 + kSuffixPattern.size();
    if (name.size() != expected || name[0] != '.' ||
        name.substr(1, finalName.size()) != finalName || name[1 + finalName.size()] != '.')
        return false;
    for (char c : name.substr(expected - kSuffixPattern.size()))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

Status replaceFileContent(const std::string& path, std::string_view content, unsigned mode,
                          int folderFd) {
    auto file = ReplacementFile::create(path, folderFd);
    if (!file)
        return file.error();
    if (auto written = file->write(content); !written)
        return written;
    if (mode != 0600)
        if (auto moded = file->setMode(mode); !moded)
            return moded;
    return file->commit();
}

} // namespace platform
