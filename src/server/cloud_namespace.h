#pragma once
// The operations on an account's files and folders, whatever the stores are.
// Each operation runs in one metadata transaction; bodies are written to the
// blob store before the transaction that makes them visible.

#include "api_answer.h"
#include "metadata_store.h"
#include "remote_path.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace server {

struct PutOptions {
    bool overwrite = true;
    std::optional<std::string> parentRev;
};

class CloudNamespace {
public:
    using Clock = std::function<std::int64_t()>;
    // `keepRevisions`: how many states of each file its history keeps.
    CloudNamespace(MetadataStore& store, Clock clock, std::size_t keepRevisions = 10)
        : store_(store), clock_(std::move(clock)), keepRevisions_(keepRevisions) {}

    ApiAnswer accountInfo(std::int64_t uid);
    // `hash`: the listing's hash the client holds (304 when unchanged).
    ApiAnswer metadata(std::int64_t uid, const RemotePath& path, const std::string& hash, bool list,
                       const std::string& rev);
    // The state of a file to send: its entry, or an error answer.
    std::optional<Entry> fileToSend(std::int64_t uid, const RemotePath& path,
                                    const std::string& rev, ApiAnswer* error);
    // Whether `bytes` more could be stored at `path` within the quota.
    ApiAnswer checkRoom(std::int64_t uid, const RemotePath& path, std::int64_t bytes);
    // Makes a stored body visible at `path`.
    ApiAnswer putFile(std::int64_t uid, const RemotePath& path, const std::string& blob,
                      std::int64_t bytes, const PutOptions& options);
    ApiAnswer createFolder(std::int64_t uid, const RemotePath& path);
    ApiAnswer remove(std::int64_t uid, const RemotePath& path);
    ApiAnswer moveOrCopy(std::int64_t uid, const RemotePath& from, const RemotePath& to, bool move);
    ApiAnswer delta(std::int64_t uid, const std::string& cursor);
    ApiAnswer revisions(std::int64_t uid, const RemotePath& path, std::size_t limit);
    ApiAnswer restore(std::int64_t uid, const RemotePath& path, const std::string& rev);
    ApiAnswer search(std::int64_t uid, const RemotePath& path, const std::string& query,
                     std::size_t limit);

    // Chunked uploads: the service keeps the bytes, the store keeps the offset.
    ApiAnswer startOrCheckUpload(std::int64_t uid, const std::string& id, std::int64_t offset,
                                 std::int64_t bytes, ChunkedUpload* upload);
    ApiAnswer advanceUpload(const ChunkedUpload& upload, std::int64_t bytes);
    std::optional<ChunkedUpload> takeUpload(std::int64_t uid, const std::string& id);
    void dropUpload(const std::string& id);

    static constexpr std::size_t kDeltaPage = 2000;
    static constexpr std::int64_t kUploadLifetime = 48 * 3600;

private:
    // Runs work in a transaction; a store failure becomes a 500 answer.
    ApiAnswer run(const std::function<ApiAnswer(MetadataTxn&)>& work);
    // Stores an entry; a file's history keeps only its newest states.
    void record(MetadataTxn& txn, std::int64_t uid, const Entry& entry) const;

    MetadataStore& store_;
    Clock clock_;
    std::size_t keepRevisions_;
};

} // namespace server
