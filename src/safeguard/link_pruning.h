#pragma once

#include <string>
#include <vector>

namespace safeguard {

// Archives keep links as links. Before a copy of a live folder is archived,
// the links in it that would point out of the folder once restored (an
// absolute target, or one that climbs above the folder with "..", or one into
// the excluded top-level folder) are dropped. The target is judged as text,
// which is how the archive keeps it and how a restored link will read it.
// The copy is walked by descriptor, never through a link. Returns the dropped
// links' paths relative to the copy.
std::vector<std::string> pruneOutsideLinks(int copyFolderFd, const std::string& excludedName = {});

// Whether a link at linkFolder (components relative to the folder) with this
// target stays inside the folder and out of the excluded top-level name.
bool linkStaysInside(const std::vector<std::string>& linkFolder, const std::string& target,
                     const std::string& excludedName = {});

} // namespace safeguard
