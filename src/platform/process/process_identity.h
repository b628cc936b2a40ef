#pragma once

#include <sys/types.h>
#include <vector>

// The user a tool runs as: its user, its group and its supplementary groups.
// Built in the parent (the lookups are not safe after fork) and applied in
// the child before the tool starts.
struct ProcessIdentity {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;

    // The owner of a folder as a process identity: the user's own group and
    // groups when the account is known, else the folder's group alone.
    static ProcessIdentity ofOwner(uid_t owner, gid_t folderGroup);
};
