#include "private_folder.h"

#include "content_digest.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace runtime::private_folder {

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

platform::Result<Opened> open() {
    const std::string path = location();
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return platform::systemError("cannot make " + path, errno);
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid())
        return platform::systemError("cannot open " + path, errno);
    if (std::string reason = unsafeReason(fd.get(), path); !reason.empty())
        return platform::Error{reason, 0};
    return Opened{std::move(fd), path};
}

std::string deviceKey(const std::string& deviceRoot) {
    char resolved[PATH_MAX];
    const std::string canonical =
        ::realpath(deviceRoot.c_str(), resolved) ? std::string(resolved) : deviceRoot;
    return store::sha256Hex(canonical).substr(0, 32);
}

} // namespace runtime::private_folder
