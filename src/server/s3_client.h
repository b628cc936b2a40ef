#pragma once
// Signed requests to one bucket of an S3-compatible object store, over
// libcurl's blocking interface (each caller's own thread). Path-style
// addresses (ENDPOINT/BUCKET/KEY), which every such store serves. Bodies go
// up from a file and come down into a caller's sink: nothing is held whole.

#include "sigv4_signer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace server {

// Where the bucket is: "s3://BUCKET?endpoint=http[s]://HOST[:PORT]&region=NAME".
struct S3Location {
    std::string endpoint;  // scheme and authority, no path
    std::string authority; // HOST[:PORT], the Host header
    std::string bucket;
    std::string region = "us-east-1";
};
std::optional<S3Location> parseS3Url(const std::string& url, std::string* error);

struct S3Call {
    std::string method = "GET";
    std::string key; // empty: the bucket itself
    std::vector<std::pair<std::string, std::string>> query;
    std::string range; // "bytes=FIRST-LAST", or empty
    int uploadFd = -1; // PUT: the body, read from offset 0
    std::uint64_t uploadSize = 0;
    std::string payloadHash; // hex SHA-256 of the body; empty: that of no body
    // Successful answers' bodies go here; false stops the transfer.
    std::function<bool(const char*, std::size_t)> sink;
};

struct S3Answer {
    long status = 0;  // 0: no answer (see error)
    std::string body; // of failures and of calls without a sink, at most 4 MiB
    std::int64_t contentLength = -1;
    std::string error; // the transport's; never holds a secret
    bool ok() const { return status >= 200 && status < 300; }
};

class S3Client {
public:
    using Clock = std::function<std::int64_t()>;
    S3Client(S3Location location, SigV4Credentials credentials, std::string caFile,
             Clock clock = {});
    ~S3Client();
    S3Client(const S3Client&) = delete;
    S3Client& operator=(const S3Client&) = delete;

    S3Answer send(const S3Call& call);
    const S3Location& location() const { return location_; }

private:
    void* takeHandle();
    void giveBack(void* handle);

    S3Location location_;
    SigV4Credentials credentials_;
    std::string caFile_;
    Clock clock_;
    std::mutex mutex_;
    std::vector<void*> idle_; // CURL handles kept with their open connections
};

} // namespace server
