#include "cs_upload_body.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

CSUploadBody::~CSUploadBody() {
    close();
}

int CSUploadBody::open(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        const int e = errno;
        close();
        return e;
    }
    size_ = st.st_size;
    return 0;
}

void CSUploadBody::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

ssize_t CSUploadBody::read(char* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, capacity);
        if (n >= 0 || errno != EINTR) {
            lastError_ = n < 0 ? errno : 0;
            return n;
        }
    }
}

bool CSUploadBody::seek(std::int64_t offset, int origin) {
    return ::lseek(fd_, static_cast<off_t>(offset), origin) >= 0;
}
