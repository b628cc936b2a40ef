#include "chunked_upload.h"

#include "cloud_error_text.h"
#include "cloud_transfer.h"
#include "cs_date.h"
#include "cs_error.h"
#include "cs_log.h"
#include "cs_rest_client.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace cloud {
namespace {

// What the client reads of a file per piece.
constexpr std::int64_t kChunkBytes = 2097152;
// A record this close to its expiry is not worth trying.
constexpr std::int64_t kExpiryMarginSeconds = 60;

// "/a/b/" + "c" and "/a/b" + "c" both give "/a/b/c", as the client joins them.
std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

// The service does not know the upload id (any more), or will not take it.
bool isRefusal(const CSError& error) {
    return error.is(CSErrorDomain, 400) || error.is(CSErrorDomain, 404);
}

} // namespace

std::int64_t chunkedUploadThreshold() {
    const char* text = std::getenv("MOBRIX_CHUNKED_UPLOAD_THRESHOLD");
    if (!text || !*text)
        return kChunkedUploadThreshold;
    std::int64_t value = 0;
    const char* end = text + std::strlen(text);
    auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || value <= 0)
        return kChunkedUploadThreshold;
    return value;
}

ChunkedUploads::ChunkedUploads(CSRestClient& client, CloudTransfer& transfer,
                               UploadResumeStore store, std::string host, std::string userId)
    : client_(client), transfer_(transfer), store_(std::move(store)), host_(std::move(host)),
      userId_(std::move(userId)) {}

void ChunkedUploads::start(const std::string& fileName, const std::string& remoteFolder,
                           const std::string& localPath, const FileIdentity& file) {
    Upload upload{fileName, remoteFolder, joinPath(remoteFolder, fileName), {}};
    const UploadResume fresh{localPath, upload.destination, host_, userId_, file, {}, 0, 0};
    if (auto record = usableRecord(fresh)) {
        upload.state = *record;
    } else {
        // Whatever was kept belongs to another file, service or account.
        store_.remove(localPath);
        upload.state = fresh;
    }
    Upload& started = uploads_[localPath] = std::move(upload);
    transfer_.progressed(RequestKind::Upload, started.destination,
                         static_cast<double>(started.state.offset) /
                             static_cast<double>(std::max<std::int64_t>(file.size, 1)));
    sendNext(started);
}

std::optional<UploadResume> ChunkedUploads::usableRecord(const UploadResume& fresh) const {
    auto record = store_.load(fresh.localPath);
    if (!record || record->uploadId.empty())
        return std::nullopt;
    const bool sameUpload = record->remotePath == fresh.remotePath && record->host == fresh.host &&
                            record->userId == fresh.userId && record->file == fresh.file;
    const bool offsetFits = record->offset > 0 && record->offset <= fresh.file.size;
    const bool alive =
        record->expires == 0 || record->expires > std::time(nullptr) + kExpiryMarginSeconds;
    if (!sameUpload || !offsetFits || !alive)
        return std::nullopt;
    return record;
}

ChunkedUploads::Upload* ChunkedUploads::byLocalPath(const std::string& localPath) {
    auto it = uploads_.find(localPath);
    return it == uploads_.end() ? nullptr : &it->second;
}

ChunkedUploads::Upload* ChunkedUploads::byDestination(const std::string& destination) {
    for (auto& [local, upload] : uploads_)
        if (upload.destination == destination)
            return &upload;
    return nullptr;
}

void ChunkedUploads::sendNext(Upload& upload) {
    const UploadResume& state = upload.state;
    // Pieces of two versions of a file would make a file that never was.
    if (identityOf(state.localPath) != state.file) {
        fail(upload, "changed while it was being uploaded: not uploaded", false);
        return;
    }
    if (state.offset >= state.file.size) {
        // Committed like a plain upload: no overwrite flag, the service's default applies.
        client_.uploadFileFromUploadId(upload.fileName, upload.remoteFolder, state.uploadId);
        return;
    }
    std::optional<std::string> uploadId;
    if (!state.uploadId.empty())
        uploadId = state.uploadId;
    client_.uploadFileChunk(uploadId, state.offset, state.localPath);
}

void ChunkedUploads::chunkUploaded(const std::string& uploadId, std::int64_t newOffset,
                                   const std::string& fromPath,
                                   const std::optional<CSDate>& expires) {
    Upload* upload = byLocalPath(fromPath);
    if (!upload)
        return;
    UploadResume& state = upload->state;
    const bool sameId = state.uploadId.empty() || state.uploadId == uploadId;
    if (uploadId.empty() || !sameId || newOffset <= state.offset || newOffset > state.file.size) {
        fail(*upload, "unexpected answer from the service", false);
        return;
    }
    state.uploadId = uploadId;
    state.offset = newOffset;
    state.expires = expires ? expires->secondsSince1970 : 0;
    keep(*upload);
    transfer_.progressed(RequestKind::Upload, upload->destination,
                         static_cast<double>(state.offset) / static_cast<double>(state.file.size));
    sendNext(*upload);
}

void ChunkedUploads::chunkProgressed(double fraction, const std::string& fromPath) {
    Upload* upload = byLocalPath(fromPath);
    if (!upload)
        return;
    const UploadResume& state = upload->state;
    const std::int64_t piece = std::min(kChunkBytes, state.file.size - state.offset);
    const double done = static_cast<double>(state.offset) +
                        std::clamp(fraction, 0.0, 1.0) * static_cast<double>(piece);
    transfer_.progressed(RequestKind::Upload, upload->destination,
                         done / static_cast<double>(state.file.size));
}

void ChunkedUploads::chunkFailed(const CSError& error) {
    Upload* upload = byLocalPath(error.infoString("fromPath"));
    if (!upload)
        return;
    UploadResume& state = upload->state;
    if (isRefusal(error) && !state.uploadId.empty()) {
        // The service kept a piece whose answer never came back (the program
        // was killed while it was on its way): it names the offset it has.
        const CSJsonValue* named = error.userInfo.find("offset");
        const std::int64_t serviceOffset = named && named->isNumber() ? named->asInt64() : -1;
        if (error.code == 400 && serviceOffset > state.offset && serviceOffset <= state.file.size) {
            state.offset = serviceOffset;
            keep(*upload);
            sendNext(*upload);
            return;
        }
        if (restart(*upload))
            return;
    }
    // A lost connection keeps the record: the next run goes on from the last piece.
    fail(*upload, describeError(error), !isRefusal(error) && !isMissingSource(error));
}

void ChunkedUploads::committed(const std::string& destination) {
    Upload* upload = byDestination(destination);
    if (!upload)
        return;
    store_.remove(upload->state.localPath);
    transfer_.succeeded(RequestKind::Upload, destination);
}

void ChunkedUploads::commitFailed(const CSError& error) {
    Upload* upload = byDestination(error.infoString("destPath"));
    if (!upload)
        return;
    if (isRefusal(error) && restart(*upload))
        return;
    fail(*upload, describeError(error), !isRefusal(error));
}

bool ChunkedUploads::restart(Upload& upload) {
    if (upload.restarted)
        return false;
    upload.restarted = true;
    store_.remove(upload.state.localPath);
    upload.state.uploadId.clear();
    upload.state.offset = 0;
    upload.state.expires = 0;
    transfer_.progressed(RequestKind::Upload, upload.destination, 0);
    sendNext(upload);
    return true;
}

void ChunkedUploads::fail(Upload& upload, const std::string& reason, bool keepRecord) {
    if (!keepRecord)
        store_.remove(upload.state.localPath);
    transfer_.failed(RequestKind::Upload, upload.destination, reason);
}

void ChunkedUploads::keep(const Upload& upload) {
    // Without a record the upload still completes; only a later resume is lost.
    if (std::string problem = store_.save(upload.state); !problem.empty())
        CSLogWarning("Mobrix: %s", problem.c_str());
}

} // namespace cloud
