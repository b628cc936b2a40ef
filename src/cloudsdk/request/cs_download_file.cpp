#include "cs_download_file.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <vector>

namespace {

std::uint64_t fileSystemRoom(int fd) {
    struct statvfs fs {};
    if (::fstatvfs(fd, &fs) != 0)
        return UINT64_MAX; // unknown: the writes themselves will tell
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

std::atomic<CSDownloadFile::FreeSpaceProbe> probe{&fileSystemRoom};

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

void CSDownloadFile::setFreeSpaceProbe(FreeSpaceProbe p) {
    probe = p ? p : &fileSystemRoom;
}

CSDownloadFile::~CSDownloadFile() {
    remove();
}

int CSDownloadFile::create(const std::string& destination) {
    namespace fs = std::filesystem;
    remove();
    const fs::path dest(destination);
    fs::path dir = dest.parent_path();
    if (dir.empty())
        dir = ".";
    const std::string pattern = (dir / ("." + dest.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    fd_ = fd;
    path_ = name.data();
    destination_ = destination;
    room_ = probe.load()(fd_);
    return 0;
}

bool CSDownloadFile::hasRoomFor(std::uint64_t bytes) {
    if (bytes <= room_)
        return true;
    // Look again only when the last look says no: that is rare until the disk is nearly full.
    room_ = probe.load()(fd_);
    return bytes <= room_;
}

CSDownloadFile::WriteResult CSDownloadFile::write(const char* data, std::size_t size) {
    if (fd_ < 0)
        return WriteResult::failed;
    if (!hasRoomFor(size))
        return WriteResult::noSpace;
    if (!writeAll(fd_, data, size))
        return WriteResult::failed;
    room_ -= size;
    return WriteResult::written;
}

int CSDownloadFile::commit() {
    if (fd_ >= 0 && ::fsync(fd_) != 0)
        return errno;
    close();
    // rename replaces the destination atomically; nothing is deleted first.
    if (::rename(path_.c_str(), destination_.c_str()) != 0)
        return errno;
    path_.clear();
    return 0;
}

void CSDownloadFile::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

int CSDownloadFile::remove() {
    close();
    if (path_.empty())
        return 0;
    int result = 0;
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT)
        result = errno;
    path_.clear();
    return result;
}
