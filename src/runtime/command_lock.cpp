#include "command_lock.h"

#include "private_folder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Empty when the lock file is this user's own regular file that no one else
// may open.
std::string unsafeLockReason(int fd, const std::string& path) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return "cannot examine " + path + ": " + std::strerror(errno);
    if (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid())
        return path + " is not this user's own file";
    if ((status.st_mode & 077) != 0 && ::fchmod(fd, 0600) != 0)
        return "cannot restrict " + path + ": " + std::strerror(errno);
    return {};
}

// True when the named file's inode is the one open at fd: a holder that
// released the lock in the meantime removed the name, and the lock on the
// orphaned inode would exclude no one.
bool stillNamed(int folder, const std::string& name, int fd) {
    struct stat named {};
    struct stat open {};
    return ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(fd, &open) == 0 && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

} // namespace

platform::Status CommandLock::tryAcquire(const std::string& deviceRoot) {
    release();
    auto folder = runtime::private_folder::open();
    if (!folder)
        return platform::Error{"cannot lock " + deviceRoot + ": " + folder.error().message,
                               folder.error().code};
    const std::string name = "lock-" + runtime::private_folder::deviceKey(deviceRoot);
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (auto locked = lockFile(folder->fd.get(), folder->path + "/" + name, deviceRoot);
            !locked)
            return locked;
        if (stillNamed(folder->fd.get(), name, fd_.get())) {
            folder_ = std::move(folder->fd);
            name_ = name;
            return {};
        }
        fd_.reset();
    }
    return platform::Error{"another command is running on " + deviceRoot, EWOULDBLOCK};
}

platform::Status CommandLock::lockFile(int folder, const std::string& path,
                                       const std::string& deviceRoot) {
    const std::string name = path.substr(path.rfind('/') + 1);
    const std::string cannot = "cannot lock " + deviceRoot;
    platform::UniqueFd fd(::openat(folder, name.c_str(),
                                   O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (!fd.valid())
        return platform::systemError(cannot + ": cannot open " + path, errno);
    if (std::string reason = unsafeLockReason(fd.get(), path); !reason.empty())
        return platform::Error{cannot + ": " + reason, 0};
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK
                   ? platform::Error{"another command is running on " + deviceRoot, EWOULDBLOCK}
                   : platform::systemError(cannot, errno);
    fd_ = std::move(fd);
    return {};
}

void CommandLock::release() {
    if (!fd_.valid())
        return;
    // Removed while still held, so that no one can lock the name in between.
    ::unlinkat(folder_.get(), name_.c_str(), 0);
    ::flock(fd_.get(), LOCK_UN);
    fd_.reset();
    folder_.reset();
}
