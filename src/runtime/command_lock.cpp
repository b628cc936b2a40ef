#include "command_lock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CommandLock::~CommandLock() {
    release();
}

bool CommandLock::tryAcquire(const std::string& folder) {
    release();
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error_ = "cannot open " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error_ = errno == EWOULDBLOCK ? "another command is running on " + folder
                                      : "cannot lock " + folder + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    error_.clear();
    return true;
}

void CommandLock::release() {
    if (fd_ < 0)
        return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}
