#pragma once
// Bodies as objects of a bucket in an S3-compatible object store, named by
// their SHA-256 like the folder store's files. A body is written to an
// unnamed local file while its hash is taken, then sent in one signed PUT
// whose x-amz-content-sha256 is that hash: the store checks what it received
// against it, so a body damaged on the way is refused rather than kept, over
// TLS or not. An object appears whole or not at all, so a writer dropped or a
// process killed before the PUT ends leaves nothing. Reads fetch ranges of
// at most a window's size; the collector lists the bucket page by page.

#include "blob_store.h"
#include "s3_client.h"

namespace server {

class S3BlobStore : public BlobStore {
public:
    static constexpr std::size_t kReadWindow = 1024 * 1024;

    static std::unique_ptr<S3BlobStore> open(const std::string& url,
                                             const BlobStoreSettings& settings, std::string* error);

    std::unique_ptr<BlobWriter> create(std::string* error) override;
    std::unique_ptr<BlobReader> open(const std::string& address) override;
    void forEachOlderThan(std::int64_t before,
                          const std::function<void(const std::string&)>& visit) override;
    bool remove(const std::string& address) override;

    S3BlobStore(std::unique_ptr<S3Client> client, std::string scratch)
        : client_(std::move(client)), scratch_(std::move(scratch)) {}

private:
    std::unique_ptr<S3Client> client_;
    std::string scratch_;
};

} // namespace server
