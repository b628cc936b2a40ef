#pragma once

#include "upload_resume.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

class CSRestClient;
struct CSDate;
struct CSError;

// Large archives go up in 2 MiB pieces and are then committed to their remote
// path. Each acknowledged piece is written down, so that an upload cut half
// way (connection lost, program killed) goes on from there on the next run.
namespace cloud {

class CloudTransfer;

// Files larger than this go up in pieces.
inline constexpr std::int64_t kChunkedUploadThreshold = 150LL * 1024 * 1024;

// The threshold in force: kChunkedUploadThreshold, or a smaller positive number
// of bytes from MOBRIX_CHUNKED_UPLOAD_THRESHOLD (for end-to-end tests, which
// cannot afford archives of that size).
std::int64_t chunkedUploadThreshold();

// The chunked uploads of one upload command. Reports to the command's
// bookkeeping under each file's remote path, as a plain upload does.
class ChunkedUploads {
public:
    // `host` and `userId` tie the resume records to one service and account.
    ChunkedUploads(CSRestClient& client, CloudTransfer& transfer, UploadResumeStore store,
                   std::string host, std::string userId);

    // Starts (or resumes) one file; `file` is its identity when the command looked.
    void start(const std::string& fileName, const std::string& remoteFolder,
               const std::string& localPath, const FileIdentity& file);

    // The client's answers, routed here by the command's delegate.
    void chunkUploaded(const std::string& uploadId, std::int64_t newOffset,
                       const std::string& fromPath, const std::optional<CSDate>& expires);
    void chunkProgressed(double fraction, const std::string& fromPath);
    void chunkFailed(const CSError& error);
    void committed(const std::string& destination);
    void commitFailed(const CSError& error);

private:
    struct Upload {
        std::string fileName;
        std::string remoteFolder;
        std::string destination;
        UploadResume state;
        bool restarted = false;
    };

    Upload* byLocalPath(const std::string& localPath);
    Upload* byDestination(const std::string& destination);
    // The record when it still fits the file, this service and this account.
    std::optional<UploadResume> usableRecord(const UploadResume& fresh) const;
    void sendNext(Upload& upload);
    // Drops what the service holds and goes again from 0; false when that was
    // tried already in this command.
    bool restart(Upload& upload);
    void fail(Upload& upload, const std::string& reason, bool keepRecord);
    void keep(const Upload& upload);

    CSRestClient& client_;
    CloudTransfer& transfer_;
    UploadResumeStore store_;
    std::string host_;
    std::string userId_;
    std::map<std::string, Upload> uploads_; // by local path
};

} // namespace cloud
