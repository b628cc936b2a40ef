#include "private_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

// Opens one private level beneath parent, making it first when asked.
SecretStatus openPrivateLevel(int parent, const std::string& name, bool create,
                              FileDescriptor& out) {
    if (create && ::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST)
        return SecretStatus::failure(errno);
    FileDescriptor fd(
        ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return {SecretStatus::notFound, ENOENT};
        return SecretStatus::failure(errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return SecretStatus::failure(errno);
    if (!S_ISDIR(st.st_mode))
        return SecretStatus::failure(ENOTDIR);
    if (st.st_uid != ::geteuid())
        return SecretStatus::failure(EPERM);
    if ((st.st_mode & 07777) != 0700 && ::fchmod(fd.get(), 0700) != 0)
        return SecretStatus::failure(errno);
    out = std::move(fd);
    return {};
}

} // namespace

std::string SecretStatus::describe() const {
    switch (kind) {
    case ok:
        return "ok";
    case notFound:
        return "not found";
    case failed:
        break;
    }
    if (errnum == EPERM)
        return "belongs to another user or is open to others";
    if (errnum == ELOOP)
        return "is a link";
    return std::strerror(errnum);
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

SecretStatus openPrivateFolder(const std::filesystem::path& base,
                               const std::vector<std::string>& privateNames, bool create,
                               FileDescriptor& folder) {
    if (create) {
        std::error_code ec;
        std::filesystem::create_directories(base, ec);
    }
    FileDescriptor current(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!current.valid())
        return errno == ENOENT ? SecretStatus{SecretStatus::notFound, ENOENT}
                               : SecretStatus::failure(errno);
    for (const std::string& name : privateNames) {
        FileDescriptor next;
        if (auto s = openPrivateLevel(current.get(), name, create, next); !s.isOk())
            return s;
        current = std::move(next);
    }
    folder = std::move(current);
    return {};
}

SecretStatus checkPrivateFile(int fd, bool tighten) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return SecretStatus::failure(errno);
    if (!S_ISREG(st.st_mode))
        return SecretStatus::failure(EINVAL);
    if (st.st_uid != ::geteuid())
        return SecretStatus::failure(EPERM);
    if ((st.st_mode & 077) != 0 && !(tighten && ::fchmod(fd, 0600) == 0))
        return SecretStatus::failure(EPERM);
    return {};
}

} // namespace platform
