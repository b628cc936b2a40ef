#pragma once

#include "process_identity.h"

#include <optional>
#include <vector>

// What the child of a tool run does between fork and exec: become the tool's
// user, end with the program, enter its working folder by descriptor and keep
// the descriptors it is handed. Only system calls, so it is safe after fork.
struct ChildSetup {
    // None: keep the program's own. Applied only when the program runs as root.
    std::optional<ProcessIdentity> identity;
    int workingFolderFd = -1;   // entered with fchdir when set
    int standardOutputFd = -1;  // becomes the tool's standard output
    std::vector<int> passedFds; // stay open across exec (/proc/self/fd/N)
    pid_t parent = 0;

    // Runs in the child; on failure writes why to standard error and exits 127.
    void apply() const;
};
