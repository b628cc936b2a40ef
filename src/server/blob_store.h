#pragma once
// File bodies, addressed by the SHA-256 of their content. A body becomes
// visible only when its writer commits it whole; a writer dropped before that
// leaves nothing behind. The folder store is the default; the interface is
// what an object store needs to provide.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace server {

class BlobWriter {
public:
    virtual ~BlobWriter() = default; // discards what was written unless committed
    virtual bool write(const char* data, std::size_t size) = 0;
    virtual std::uint64_t size() const = 0;
    // Makes the body durable and gives its address; nothing on failure.
    virtual std::optional<std::string> commit(std::string* error) = 0;
};

class BlobReader {
public:
    virtual ~BlobReader() = default;
    virtual std::uint64_t size() const = 0;
    // Reads up to `size` bytes at `offset`; the count read, 0 at the end, -1 on failure.
    virtual long read(std::uint64_t offset, char* buffer, std::size_t size) = 0;
};

class BlobStore {
public:
    virtual ~BlobStore() = default;
    virtual std::unique_ptr<BlobWriter> create(std::string* error) = 0;
    virtual std::unique_ptr<BlobReader> open(const std::string& address) = 0;
    // Calls `visit` with the address of every body stored before `before`
    // (seconds since 1970).
    virtual void forEachOlderThan(std::int64_t before,
                                  const std::function<void(const std::string&)>& visit) = 0;
    virtual bool remove(const std::string& address) = 0;
};

// Whether the text is an address: 64 lower-case hexadecimal digits.
bool isBlobAddress(const std::string& text);

// What an object store needs besides its URL.
struct BlobStoreSettings {
    std::string accessKey; // never logged
    std::string secretKey; // never logged
    std::string caFile;    // authorities the object store's certificate is checked against
    std::string scratch;   // local folder where bodies wait until they are sent
};

// The store named by a URL: "file:FOLDER" or
// "s3://BUCKET?endpoint=https://HOST:PORT&region=NAME". Nothing and the reason otherwise.
std::unique_ptr<BlobStore> openBlobStore(const std::string& url, const BlobStoreSettings& settings,
                                         std::string* error);

} // namespace server
