#include "s3_blob_store.h"

#include "hashed_spool.h"
#include "s3_listing.h"
#include "secrets.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace server {

namespace {

// A local file with no name (unlinked as soon as made), closed when it goes.
class ScratchFile {
public:
    static std::optional<ScratchFile> make(const std::string& folder) {
        std::string pattern = folder + "/s3-body-XXXXXX";
        int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            return std::nullopt;
        ::unlink(pattern.c_str());
        return ScratchFile(fd);
    }
    ScratchFile(ScratchFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    ScratchFile& operator=(ScratchFile&&) = delete;
    ~ScratchFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int fd() const { return fd_; }

private:
    explicit ScratchFile(int fd) : fd_(fd) {}
    int fd_;
};

std::string storeProblem(const S3Answer& answer) {
    return answer.status ? "the object store answered " + std::to_string(answer.status)
                         : "the object store could not be reached: " + answer.error;
}

class S3BlobWriter : public BlobWriter {
public:
    S3BlobWriter(S3Client& client, ScratchFile file) : client_(client), file_(std::move(file)) {}
    S3BlobWriter(const S3BlobWriter&) = delete;
    S3BlobWriter& operator=(const S3BlobWriter&) = delete;

    bool write(const char* data, std::size_t size) override {
        return spool_.write(file_.fd(), data, size);
    }

    std::uint64_t size() const override { return spool_.size(); }

    // Always sent, even when an object of that name exists: a fresh object
    // is younger than any collection's age limit.
    std::optional<std::string> commit(std::string* error) override {
        const std::string address = spool_.address();
        S3Call put;
        put.method = "PUT";
        put.key = address;
        put.payloadHash = address;
        put.uploadFd = file_.fd();
        put.uploadSize = spool_.size();
        const S3Answer answer = client_.send(put);
        if (!answer.ok()) {
            if (error)
                *error = "cannot store the body: " + storeProblem(answer);
            return std::nullopt;
        }
        return address;
    }

private:
    S3Client& client_;
    ScratchFile file_;
    HashedSpool spool_;
};

// Reads through a window of at most kReadWindow bytes, fetched by range.
class S3BlobReader : public BlobReader {
public:
    S3BlobReader(S3Client& client, std::string key, std::uint64_t size)
        : client_(client), key_(std::move(key)), size_(size) {}

    std::uint64_t size() const override { return size_; }

    long read(std::uint64_t offset, char* buffer, std::size_t size) override {
        if (offset >= size_ || size == 0)
            return 0;
        if (offset < windowStart_ || offset >= windowStart_ + window_.size()) {
            if (!fetch(offset))
                return -1;
        }
        const std::size_t from = static_cast<std::size_t>(offset - windowStart_);
        const std::size_t n = std::min(size, window_.size() - from);
        std::memcpy(buffer, window_.data() + from, n);
        return static_cast<long>(n);
    }

private:
    bool fetch(std::uint64_t offset) {
        const std::uint64_t last =
            std::min<std::uint64_t>(offset + S3BlobStore::kReadWindow, size_) - 1;
        const std::size_t want = static_cast<std::size_t>(last - offset + 1);
        window_.clear();
        window_.reserve(want);
        S3Call get;
        get.key = key_;
        get.range = "bytes=" + std::to_string(offset) + "-" + std::to_string(last);
        get.sink = [&](const char* data, std::size_t size) {
            if (window_.size() + size > want)
                return false; // a store that ignored the range
            window_.append(data, size);
            return true;
        };
        const S3Answer answer = client_.send(get);
        windowStart_ = offset;
        if (!answer.ok() || window_.size() != want) {
            window_.clear();
            return false;
        }
        return true;
    }

    S3Client& client_;
    std::string key_;
    std::uint64_t size_;
    std::string window_;
    std::uint64_t windowStart_ = 0;
};

} // namespace

std::unique_ptr<S3BlobStore>
S3BlobStore::open(const std::string& url, const BlobStoreSettings& settings, std::string* error) {
    auto location = parseS3Url(url, error);
    if (!location)
        return nullptr;
    if (settings.accessKey.empty() || settings.secretKey.empty() || settings.scratch.empty()) {
        if (error)
            *error = "an s3:// body store needs s3_access_key and s3_secret_key";
        return nullptr;
    }
    auto client = std::make_unique<S3Client>(
        *location, SigV4Credentials{settings.accessKey, settings.secretKey, location->region, "s3"},
        settings.caFile);
    // The bucket must be there and the keys good before the service answers anyone.
    S3Call head;
    head.method = "HEAD";
    const S3Answer answer = client->send(head);
    if (!answer.ok()) {
        if (error)
            *error = "cannot use the bucket " + location->bucket + ": " + storeProblem(answer);
        return nullptr;
    }
    return std::make_unique<S3BlobStore>(std::move(client), settings.scratch);
}

std::unique_ptr<BlobWriter> S3BlobStore::create(std::string* error) {
    auto file = ScratchFile::make(scratch_);
    if (!file) {
        if (error)
            *error = std::string("cannot make a temporary body: ") + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<S3BlobWriter>(*client_, std::move(*file));
}

std::unique_ptr<BlobReader> S3BlobStore::open(const std::string& address) {
    if (!isBlobAddress(address))
        return nullptr;
    S3Call head;
    head.method = "HEAD";
    head.key = address;
    const S3Answer answer = client_->send(head);
    if (!answer.ok() || answer.contentLength < 0)
        return nullptr;
    return std::make_unique<S3BlobReader>(*client_, address,
                                          static_cast<std::uint64_t>(answer.contentLength));
}

void S3BlobStore::forEachOlderThan(std::int64_t before,
                                   const std::function<void(const std::string&)>& visit) {
    std::optional<std::string> token;
    // Bounded by the bucket's size: each page moves the token on.
    for (;;) {
        S3Call list;
        list.query = {{"list-type", "2"}};
        if (token)
            list.query.emplace_back("continuation-token", *token);
        const S3Answer answer = client_->send(list);
        auto page = answer.ok() ? parseS3Listing(answer.body) : std::nullopt;
        if (!page)
            return; // nothing removed this time; the next collection tries again
        for (const auto& [key, modified] : page->objects) {
            if (isBlobAddress(key) && modified < before)
                visit(key);
        }
        if (!page->next || page->next == token)
            return;
        token = page->next;
    }
}

bool S3BlobStore::remove(const std::string& address) {
    if (!isBlobAddress(address))
        return false;
    S3Call remove;
    remove.method = "DELETE";
    remove.key = address;
    return client_->send(remove).ok();
}

} // namespace server
