#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

// A download killed before its end (kill -9, power loss) leaves the file the
// request engine was writing: ".NAME.XXXXXX" beside NAME, where the six
// letters or digits are the replacement file's unique suffix. Nothing else ever removes
// it, so the download command does, before it asks for anything.
namespace cloud {

// A replacement file's temporary name for fileName (never for an empty name).
bool isDownloadTemporaryName(std::string_view entry, std::string_view fileName);

struct LeftoverSweep {
    std::vector<std::string> removed; // entry names
    std::string problem;              // why the folder could not be swept; empty when it could
};

// Removes from `folder` the regular files of this user whose names are the
// temporary name of one of `fileNames`. Links, folders and anything else are
// left alone, and the folder itself is never reached through a link.
LeftoverSweep removeDownloadLeftovers(const std::string& folder,
                                      std::span<const std::string> fileNames);

} // namespace cloud
