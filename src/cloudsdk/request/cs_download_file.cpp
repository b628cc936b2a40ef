#include "cs_download_file.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <string_view>
#include <utility>

namespace {

// Bytes that may still be written to the file system holding fd.
std::uint64_t fileSystemRoom(int fd) {
    struct statvfs fs {};
    if (::fstatvfs(fd, &fs) != 0)
        return UINT64_MAX; // unknown: the writes themselves will tell
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

} // namespace

CSDownloadFile::~CSDownloadFile() {
    remove();
}

int CSDownloadFile::create(const std::string& destination) {
    remove();
    auto file = platform::ReplacementFile::create(destination);
    if (!file)
        return file.error().code;
    file_.emplace(std::move(*file));
    room_ = fileSystemRoom(file_->fd());
    return 0;
}

bool CSDownloadFile::hasRoomFor(std::uint64_t bytes) {
    if (bytes <= room_)
        return true;
    // Look again only when the last look says no: that is rare until the disk is nearly full.
    if (file_ && file_->fd() >= 0)
        room_ = fileSystemRoom(file_->fd());
    return bytes <= room_;
}

CSDownloadFile::WriteResult CSDownloadFile::write(const char* data, std::size_t size) {
    if (!file_ || file_->fd() < 0)
        return WriteResult::failed;
    if (!hasRoomFor(size))
        return WriteResult::noSpace;
    if (!file_->write(std::string_view(data, size)))
        return WriteResult::failed;
    room_ -= size;
    return WriteResult::written;
}

int CSDownloadFile::commit() {
    if (!file_)
        return EBADF;
    // The rename replaces the destination atomically; nothing is deleted first.
    if (auto committed = file_->commit(); !committed)
        return committed.error().code;
    file_.reset();
    return 0;
}

int CSDownloadFile::remove() {
    if (!file_)
        return 0;
    const platform::Status removed = file_->remove();
    file_.reset();
    return removed ? 0 : removed.error().code;
}
