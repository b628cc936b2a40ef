#include "download_leftovers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "replacement_file.h"

namespace cloud {
namespace {

class Folder {
public:
    explicit Folder(DIR* dir) : dir_(dir) {}
    ~Folder() {
        if (dir_)
            ::closedir(dir_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

std::string problemText(const std::string& folder, int error) {
    return "cannot look for unfinished downloads in " + folder + ": " + std::strerror(error);
}

} // namespace

bool isDownloadTemporaryName(std::string_view entry, std::string_view fileName) {
    return !fileName.empty() && platform::ReplacementFile::isLeftoverOf(entry, fileName);
}

LeftoverSweep removeDownloadLeftovers(const std::string& folder,
                                      std::span<const std::string> fileNames) {
    LeftoverSweep sweep;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            sweep.problem = problemText(folder, errno);
        return sweep;
    }
    Folder dir(::fdopendir(fd));
    if (!dir.get()) {
        sweep.problem = problemText(folder, errno);
        ::close(fd);
        return sweep;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        const bool ours = std::any_of(fileNames.begin(), fileNames.end(), [&](const auto& file) {
            return isDownloadTemporaryName(name, file);
        });
        if (!ours)
            continue;
        // Judged by the entry itself, relative to the folder already opened.
        struct stat status {};
        if (::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode) || status.st_uid != ::geteuid())
            continue;
        if (::unlinkat(fd, entry->d_name, 0) == 0)
            sweep.removed.emplace_back(name);
    }
    return sweep;
}

} // namespace cloud
