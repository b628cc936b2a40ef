#pragma once

#include "result.h"

#include <optional>
#include <string>

// File-manager calls of the commands, for paths that only root controls. Each
// reports failure as a status with a message instead of throwing.
namespace store::file_ops {

bool exists(const std::string& path);   // anything, links included, never followed
bool isFolder(const std::string& path); // a real folder, not a link to one
bool isLink(const std::string& path);

// Removes a file or folder tree; a link is removed, never followed. A path
// that does not exist is no error.
platform::Status remove(const std::string& path);
// Moves a file, replacing nothing: fails when the destination exists.
platform::Status moveNoReplace(const std::string& from, const std::string& to);

std::optional<std::string> readFile(const std::string& path);
// Writes a complete new file (0644) beside the destination, then renames it over.
platform::Status writeFileAtomically(const std::string& path, const std::string& content);

std::string errnoText(int error);

} // namespace store::file_ops
