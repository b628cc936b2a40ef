#pragma once

#include "result.h"
#include "unique_fd.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

// Descriptor-relative file operations: a folder is opened once, never through
// a link, and every later step names things relative to it, so that nobody
// who can rename entries on the way can redirect a step somewhere else.
namespace store::file_ops {

using UniqueFd = platform::UniqueFd;

// A folder opened with its status at opening time, or why it could not be.
struct OpenedFolder {
    UniqueFd fd;
    struct stat status {};
    std::string error;    // empty when opened
    bool missing = false; // the error is that a component does not exist
    int errorNumber = 0;  // errno of the failed step
    // The owner of the nearest folder on the way (this one included) that
    // does not belong to root: who can rename what this path names. 0 when
    // root owns the whole way.
    uid_t pathUser = 0;
    gid_t pathGroup = 0;

    bool ok() const { return fd.valid(); }
};

// Opens hostRoot (trusted, by name), then each component of devicePath below
// it with O_NOFOLLOW: a link anywhere on the way is refused, unless root made
// it in a folder only root can write, and so is ".." (nothing climbs above
// hostRoot).
OpenedFolder openFolderBeneath(const std::string& hostRoot, std::string_view devicePath);
// Opens one folder inside an open folder, never through a link.
OpenedFolder openFolderAt(int folderFd, const std::string& name);

// The names in an open folder ("." and ".." left out), sorted.
std::optional<std::vector<std::string>> entryNames(int folderFd);

// Gives everything in an open folder (and the folder itself) to owner:group,
// links themselves, never what they point to. For trees only the program can
// reach.
platform::Status chownTree(int folderFd, uid_t owner, gid_t group);

// Removes name in an open folder with everything below it, never following a
// link. Missing is no error.
platform::Status removeTreeAt(int folderFd, const std::string& name);

// The path a tool can use for something inside an open folder that it was
// handed: "/proc/self/fd/N" or "/proc/self/fd/N/name".
std::string descriptorPath(int fd, std::string_view name = {});

} // namespace store::file_ops
