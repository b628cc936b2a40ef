#pragma once

#include "result.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// Files reached through folder descriptors, never through a link: for the
// folders that another user owns or could replace while the program works.
// Folders are opened with store::file_ops::openFolderBeneath / openFolderAt.
namespace store::descriptor_files {

// A file's bytes, or nothing when it does not exist.
using FileContent = platform::Result<std::optional<std::string>>;

// Reads a regular file of an open folder without following a link. Unless
// every user may read it, it must be owned by the folder's owner and have one
// name only; it must be at most maxBytes long. Anything else is refused with a
// message naming shownPath.
FileContent readOwnedFile(int folder, const std::string& name, size_t maxBytes,
                          std::string_view shownPath);

// The same for a file given by its device path: every folder on the way is
// opened as store::file_ops::openFolderBeneath does. A missing folder on the way is
// a missing file.
FileContent readOwnedFileAt(const std::string& deviceRoot, std::string_view devicePath,
                            size_t maxBytes);

// Writes a complete new file (mode 0600 unless given) beside name in the folder and renames
// it over name; first removes what an interrupted write of name left there.
platform::Status writeFileAtomicallyAt(int folder, const std::string& name,
                                       const std::string& content, std::string_view shownPath,
                                       unsigned mode = 0600);

// Removes the regular files of the folder whose names start with prefix
// (leftovers of an interrupted run). Links and folders are left alone.
void removeLeftoversAt(int folder, std::string_view prefix);
void removeLeftoversAt(int folder, const std::function<bool(std::string_view)>& isLeftover);

} // namespace store::descriptor_files
