#include "process_identity.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

ProcessIdentity ProcessIdentity::ofOwner(uid_t owner, gid_t folderGroup) {
    ProcessIdentity identity{owner, folderGroup, {folderGroup}};
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(owner, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return identity;
    identity.gid = found->pw_gid;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0)
            count = 0;
    }
    groups.resize(static_cast<size_t>(count));
    identity.groups = groups.empty() ? std::vector<gid_t>{found->pw_gid} : groups;
    return identity;
}
