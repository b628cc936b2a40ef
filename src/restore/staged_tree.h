#pragma once

#include <optional>
#include <string>

// Checks of an extracted tree before it is copied back into place. The tree
// lies in the root-only staging folder, so nobody changes it meanwhile.
namespace restore::staged_tree {

// The first path under the staged folder (relative to it) that is not a
// file, a folder or a link that stays inside the folder, with why; nothing
// when all is well. excludedName is a top-level name no link may enter.
std::optional<std::string> unsafeEntry(int stagedFd, const std::string& excludedName = {});

} // namespace restore::staged_tree
