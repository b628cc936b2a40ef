#include "child_setup.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

[[noreturn]] void failChild(const char* what) {
    const char* reason = std::strerror(errno);
    (void)!::write(STDERR_FILENO, "cannot ", 7);
    (void)!::write(STDERR_FILENO, what, std::strlen(what));
    (void)!::write(STDERR_FILENO, ": ", 2);
    (void)!::write(STDERR_FILENO, reason, std::strlen(reason));
    (void)!::write(STDERR_FILENO, "\n", 1);
    ::_exit(127);
}

void becomeUser(const ProcessIdentity& identity) {
    // Without root nothing can be changed, and the program's own user
    // reaches nothing more than it could alone.
    if (::geteuid() != 0)
        return;
    if (::setgroups(identity.groups.size(), identity.groups.data()) != 0)
        failChild("set the groups");
    if (::setresgid(identity.gid, identity.gid, identity.gid) != 0)
        failChild("set the group");
    if (::setresuid(identity.uid, identity.uid, identity.uid) != 0)
        failChild("set the user");
}

} // namespace

void ChildSetup::apply() const {
    if (identity)
        becomeUser(*identity);
    // Set after the identity change, which clears it. A tool outlives neither
    // the program nor a kill of it.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        failChild("tie the tool to the program");
    if (parent != 0 && ::getppid() != parent)
        ::_exit(127);
    if (workingFolderFd >= 0 && ::fchdir(workingFolderFd) != 0)
        failChild("enter the working folder");
    if (standardOutputFd >= 0 && ::dup2(standardOutputFd, STDOUT_FILENO) < 0)
        failChild("set the standard output");
    for (int fd : passedFds)
        if (::fcntl(fd, F_SETFD, 0) != 0)
            failChild("pass a folder");
}
