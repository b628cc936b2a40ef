#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// Checks between extracting an archive and copying it back into place, and
// the ownership of what the copy creates.
namespace staged_tree {

// The first path under the staged folder that is neither a regular file nor
// a folder (a link, a device, a pipe).
std::optional<std::string> irregularEntry(const std::string& stagedFolder);

// The first live path that the copy of the staged folder into liveFolder
// would write through and that is a link (liveFolder itself included).
std::optional<std::string> linkOnWritePath(const std::string& stagedFolder,
                                           const std::string& liveFolder);

struct PlannedOwner {
    std::string path;
    uid_t owner;
    gid_t group;
};
// The live paths the copy will create, each with the owner and group of the
// live folder it is created in (the nearest folder that exists before).
std::vector<PlannedOwner> plannedOwners(const std::string& stagedFolder,
                                        const std::string& liveFolder);
// Applies them with lchown (links never followed); returns the first error.
std::string applyOwners(const std::vector<PlannedOwner>& owners);

} // namespace staged_tree
