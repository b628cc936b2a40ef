#include "staged_tree.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace staged_tree {

namespace {

// Relative paths of the staged tree, parents before children; "" is the root.
std::vector<fs::path> stagedEntries(const std::string& stagedFolder) {
    std::vector<fs::path> entries{fs::path()};
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(stagedFolder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
        entries.push_back(it->path().lexically_relative(stagedFolder));
    return entries;
}

std::optional<struct stat> linkStatus(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return std::nullopt;
    return status;
}

fs::path join(const std::string& folder, const fs::path& relative) {
    return relative.empty() ? fs::path(folder) : fs::path(folder) / relative;
}

} // namespace

std::optional<std::string> irregularEntry(const std::string& stagedFolder) {
    for (const auto& relative : stagedEntries(stagedFolder)) {
        auto status = linkStatus(join(stagedFolder, relative));
        if (!status || !(S_ISREG(status->st_mode) || S_ISDIR(status->st_mode)))
            return join(stagedFolder, relative).string();
    }
    return std::nullopt;
}

std::optional<std::string> linkOnWritePath(const std::string& stagedFolder,
                                           const std::string& liveFolder) {
    for (const auto& relative : stagedEntries(stagedFolder)) {
        fs::path live = join(liveFolder, relative);
        auto status = linkStatus(live);
        if (status && S_ISLNK(status->st_mode))
            return live.string();
    }
    return std::nullopt;
}

std::vector<PlannedOwner> plannedOwners(const std::string& stagedFolder,
                                        const std::string& liveFolder) {
    std::vector<PlannedOwner> planned;
    std::map<fs::path, std::pair<uid_t, gid_t>> created;
    for (const auto& relative : stagedEntries(stagedFolder)) {
        fs::path live = join(liveFolder, relative);
        if (linkStatus(live))
            continue;
        fs::path parent = live.parent_path();
        std::pair<uid_t, gid_t> owner{0, 0};
        if (auto known = created.find(parent); known != created.end()) {
            owner = known->second;
        } else if (auto status = linkStatus(parent)) {
            owner = {status->st_uid, status->st_gid};
        }
        created[live] = owner;
        planned.push_back({live.string(), owner.first, owner.second});
    }
    return planned;
}

std::string applyOwners(const std::vector<PlannedOwner>& owners) {
    std::string firstError;
    for (const auto& planned : owners) {
        if (!linkStatus(planned.path))
            continue; // the copy did not get that far
        if (::lchown(planned.path.c_str(), planned.owner, planned.group) != 0 && firstError.empty())
            firstError = "cannot set the owner of " + planned.path + ": " + std::strerror(errno);
    }
    return firstError;
}

} // namespace staged_tree
