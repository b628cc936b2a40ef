#include "private_folder.h"

#include "content_digest.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace private_folder {

namespace {

std::string location() {
    if (::geteuid() == 0) {
        struct stat status {};
        return ::stat("/run", &status) == 0 && S_ISDIR(status.st_mode) ? "/run/mobrix"
                                                                       : "/var/run/mobrix";
    }
    // Only read when not root: a root process never lets the caller's
    // environment choose where its lock lives.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
        return std::string(runtime) + "/mobrix";
    return "/tmp/mobrix-" + std::to_string(::geteuid());
}

std::string unsafeReason(int fd, const std::string& path) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return "cannot examine " + path + ": " + std::strerror(errno);
    if (status.st_uid != ::geteuid())
        return path + " belongs to another user (uid " + std::to_string(status.st_uid) + ")";
    // Our own folder with a looser mode (made by hand) is tightened, not refused.
    if ((status.st_mode & (S_IRWXG | S_IRWXO)) && ::fchmod(fd, 0700) != 0)
        return path + " can be entered by other users";
    return {};
}

} // namespace

Opened open() {
    Opened opened;
    opened.path = location();
    if (::mkdir(opened.path.c_str(), 0700) != 0 && errno != EEXIST) {
        opened.error = "cannot make " + opened.path + ": " + std::strerror(errno);
        return opened;
    }
    platform::UniqueFd fd(
        ::open(opened.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        opened.error = "cannot open " + opened.path + ": " + std::strerror(errno);
        return opened;
    }
    opened.error = unsafeReason(fd.get(), opened.path);
    if (opened.error.empty())
        opened.fd = std::move(fd);
    return opened;
}

std::string deviceKey(const std::string& deviceRoot) {
    char resolved[PATH_MAX];
    const std::string canonical =
        ::realpath(deviceRoot.c_str(), resolved) ? std::string(resolved) : deviceRoot;
    return sha256Hex(canonical).substr(0, 32);
}

} // namespace private_folder
