#pragma once

#include "result.h"

#include <string>
#include <string_view>
#include <utility>

// A file that replaces another only once it is complete: written under a
// temporary name beside the destination (".NAME.XXXXXX", 0600, created
// exclusively, so never through a link), flushed to the disk, then renamed
// over the destination. Until commit() succeeds the destination keeps its old
// content; an uncommitted replacement is removed when it goes out of scope.
// A process killed in between leaves the temporary behind: its name is
// recognised by isLeftoverOf() so the next run of the same step removes it.
namespace platform {

class ReplacementFile {
public:
    // Beside `path`, in the same folder (so the rename never crosses file
    // systems). With a folder descriptor, `path` is a name relative to it.
    static Result<ReplacementFile> create(const std::string& path, int folderFd = -1);

    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&& other) noexcept;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile();

    int fd() const { return fd_; }
    const std::string& temporaryPath() const { return temporary_; }
    Status write(std::string_view bytes);
    Status setMode(unsigned mode);
    // fsync, rename over the destination, fsync of the folder.
    Status commit();
    // Removes the temporary; the destination is untouched.
    void discard();
    // discard(), reporting an unlink that failed for another reason than a
    // temporary already gone.
    Status remove();

    // Whether `name` (a plain file name) is a temporary this class made for `finalName`.
    static bool isLeftoverOf(std::string_view name, std::string_view finalName);

private:
    ReplacementFile(int folderFd, std::string destination, std::string temporary, int fd);

    int folderFd_ = -1; // AT_FDCWD when paths are plain paths
    std::string destination_;
    std::string temporary_;
    int fd_ = -1;
};

// Writes `content` as the whole new content of `path` (0600 unless `mode`).
Status replaceFileContent(const std::string& path, std::string_view content, unsigned mode = 0600,
                          int folderFd = -1);

} // namespace platform
