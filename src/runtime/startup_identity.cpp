#include "startup_identity.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <unistd.h>

namespace runtime::startup_identity {

namespace {

platform::Error failure(const char* call) {
    return platform::systemError(std::string(call) + " failed", errno);
}

} // namespace

platform::Status settle() {
    if (::getuid() != ::geteuid() || ::getgid() != ::getegid())
        return platform::Error{
            "refusing to run with a set-user-ID or set-group-ID bit: start it as root instead", 0};
    if (::geteuid() != 0)
        return {};
    // The groups go first: once the user is set, they can no longer be changed.
    if (::setgroups(0, nullptr) != 0)
        return failure("setgroups");
    if (::setgid(0) != 0)
        return failure("setgid");
    if (::setuid(0) != 0)
        return failure("setuid");
    return {};
}

bool isRoot() {
    return ::geteuid() == 0;
}

} // namespace runtime::startup_identity
