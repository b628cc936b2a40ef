#pragma once
// The temporary file a download is written to: a replacement file beside the
// destination (0600, created exclusively, a planted link is never followed;
// the final rename never crosses file systems), synced and renamed over the
// destination only when the caller commits; removed otherwise.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "replacement_file.h"

class CSDownloadFile {
public:
    enum class WriteResult { written, failed, noSpace };

    CSDownloadFile() = default;
    // Removes a file that was not committed.
    ~CSDownloadFile();
    CSDownloadFile(const CSDownloadFile&) = delete;
    CSDownloadFile& operator=(const CSDownloadFile&) = delete;

    // 0, or the errno of the failure.
    int create(const std::string& destination);
    bool exists() const { return file_.has_value(); }
    // The temporary's path; empty when there is none.
    std::string path() const { return file_ ? file_->temporaryPath() : std::string(); }

    // Refuses data the file system has no room for, before writing any of it.
    WriteResult write(const char* data, std::size_t size);
    // The file system can take `bytes` more.
    bool hasRoomFor(std::uint64_t bytes);

    // Syncs, closes and renames over the destination, then syncs its folder:
    // 0, or the errno of the failure (the file is then still there, for remove()).
    int commit();
    // Closes and unlinks; 0, or the errno of a failed unlink.
    int remove();

private:
    std::optional<platform::ReplacementFile> file_;
    // Free bytes known at the last look, less what was written since.
    std::uint64_t room_ = 0;
};
