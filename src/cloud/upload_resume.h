#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// What lets a chunked upload cut half way go on from where the service left
// it: the service's upload id and acknowledged offset, kept per local file in
// the user's private state, next to the stored credentials it goes with.
namespace cloud {

// Which file a record was made for: a file rewritten since (new size, time or
// inode) no longer matches the bytes the service holds.
struct FileIdentity {
    std::int64_t size = 0;
    std::int64_t mtimeNanoseconds = 0;
    std::uint64_t inode = 0;
    std::uint64_t device = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of a regular file, never through a link; nothing otherwise.
std::optional<FileIdentity> identityOf(const std::string& path);

struct UploadResume {
    std::string localPath;
    std::string remotePath;
    std::string host;   // the content host, with its port
    std::string userId; // the account the upload belongs to
    FileIdentity file;
    std::string uploadId;
    std::int64_t offset = 0;  // bytes the service acknowledged
    std::int64_t expires = 0; // seconds since 1970; 0 when the service gave none

    bool operator==(const UploadResume&) const = default;
};

std::string serializeResume(const UploadResume& resume);
// Nothing for text that is not a complete record.
std::optional<UploadResume> parseResume(const std::string& text);

// One 0600 file per local file in a 0700 folder, each replaced atomically.
class UploadResumeStore {
public:
    // "uploads" beside the secret store, under $XDG_DATA_HOME/Mobrix.
    static std::filesystem::path defaultFolder();

    explicit UploadResumeStore(std::filesystem::path folder = defaultFolder());

    const std::filesystem::path& folder() const { return folder_; }

    std::optional<UploadResume> load(const std::string& localPath) const;
    // An error message, empty on success.
    std::string save(const UploadResume& resume) const;
    void remove(const std::string& localPath) const;

private:
    std::string nameFor(const std::string& localPath) const;

    std::filesystem::path folder_;
};

} // namespace cloud
