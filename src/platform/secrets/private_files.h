#pragma once
// Folders and files that only the running user may see: the secret store and
// the user defaults. Every check is made on an open descriptor (fstat after
// an open that never follows a link), so nothing can be swapped in between
// the check and the use.

#include <filesystem>
#include <string>
#include <vector>

namespace platform {

struct SecretStatus {
    enum Kind { ok, notFound, failed } kind = ok;
    int errnum = 0; // errno of a failure; EPERM for an item of another user or open to others

    bool isOk() const { return kind == ok; }
    static SecretStatus failure(int errnum) { return {failed, errnum}; }
    // "not found", or the failure's reason.
    std::string describe() const;
};

// An open file descriptor, closed with its owner.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Opens `base` (it may be reached through links: a user may keep ~/.local
// elsewhere), then each of `privateNames` beneath it as a private folder:
// never through a link, owned by the effective user, and closed to group and
// others (a folder of ours with more rights is tightened to 0700; one of
// another user is refused). With `create`, missing folders are made (the
// private ones 0700); without, a missing one reports notFound.
SecretStatus openPrivateFolder(const std::filesystem::path& base,
                               const std::vector<std::string>& privateNames, bool create,
                               FileDescriptor& folder);

// The open file is a regular file of the effective user, closed to group and
// others. With `tighten`, a file of ours open to others is closed to them
// instead of being refused.
SecretStatus checkPrivateFile(int fd, bool tighten = false);

} // namespace platform
