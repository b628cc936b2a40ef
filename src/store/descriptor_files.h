#pragma once

#include "unique_fd.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// Files reached through folder descriptors, never through a link: for the
// folders that another user owns or could replace while the program works.
// Every function gives an error message (empty on success) or the result.
namespace descriptor_files {

struct OpenedFolder {
    platform::UniqueFd fd;
    std::string error;    // empty when fd is open
    bool missing = false; // the error is that a component does not exist
};

// Opens the folder at a device path under the device root, one component at
// a time, refusing any component that is a link (the root itself is trusted).
OpenedFolder openFolder(const std::string& deviceRoot, std::string_view devicePath);
// One folder inside an open one, not a link.
OpenedFolder openFolderAt(int folder, const std::string& name, std::string_view shownPath);

struct FileContent {
    std::optional<std::string> bytes; // nothing when the file does not exist
    std::string error;                // why it was refused or unreadable
};

// Reads a regular file of an open folder without following a link. Unless
// every user may read it, it must be owned by the folder's owner and have one
// name only; it must be at most maxBytes long. Anything else is refused with a
// message naming shownPath.
FileContent readOwnedFile(int folder, const std::string& name, size_t maxBytes,
                          std::string_view shownPath);

// The same for a file given by its device path: every folder on the way is
// opened as openFolder does.
FileContent readOwnedFileAt(const std::string& deviceRoot, std::string_view devicePath,
                            size_t maxBytes);

// Writes a complete new file (mode 0600 unless given) beside name in the folder and renames
// it over name; first removes what an interrupted write of name left there.
std::string writeFileAtomicallyAt(int folder, const std::string& name, const std::string& content,
                                  std::string_view shownPath, unsigned mode = 0600);

// Removes the regular files of the folder whose names start with prefix
// (leftovers of an interrupted run). Links and folders are left alone.
void removeLeftoversAt(int folder, std::string_view prefix);
void removeLeftoversAt(int folder, const std::function<bool(std::string_view)>& isLeftover);

} // namespace descriptor_files
