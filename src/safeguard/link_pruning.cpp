#include "link_pruning.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool isWithin(const fs::path& path, const fs::path& folder) {
    auto [folderEnd, pathAt] =
        std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return folderEnd == folder.end();
}

// Whether the link at `live` ends, through every further link, inside the
// live folder and outside the excluded one.
bool staysInside(const fs::path& live, const fs::path& liveFolder, const fs::path& excluded) {
    std::error_code error;
    fs::path target = fs::canonical(live, error);
    if (error)
        return false;
    return isWithin(target, liveFolder) && (excluded.empty() || !isWithin(target, excluded));
}

} // namespace

std::vector<std::string> pruneOutsideLinks(const std::string& copyFolder,
                                           const std::string& liveFolder,
                                           const std::string& excludedFolder) {
    std::vector<std::string> dropped;
    std::error_code error;
    const fs::path liveCanonical = fs::canonical(liveFolder, error);
    if (error)
        return dropped;
    fs::path excluded;
    if (!excludedFolder.empty())
        excluded = fs::weakly_canonical(excludedFolder, error);

    std::vector<fs::path> links;
    for (auto it = fs::recursive_directory_iterator(copyFolder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_symlink(error))
            links.push_back(it->path());
    }
    for (const auto& link : links) {
        fs::path live = liveCanonical / link.lexically_relative(copyFolder);
        if (staysInside(live, liveCanonical, excluded))
            continue;
        fs::remove(link, error);
        dropped.push_back(link.string());
    }
    return dropped;
}
