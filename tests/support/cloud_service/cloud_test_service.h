#pragma once
// A local HTTPS stand-in for the cloud storage service, on 127.0.0.1 with a
// certificate made at test time. It keeps the account in a folder, checks the
// OAuth PLAINTEXT signature of every request against the app key and secret
// and the tokens it issued (401 otherwise), records what it was sent, and can
// be told to misbehave.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "test_pki.h"

namespace testsupport {

enum class ServiceFault {
    None,
    ShortBody,     // downloads: Content-Length 10 bytes more than sent, then the connection closes
    CutConnection, // half the body, then the connection closes
    Slow,          // waits `slowDelay` before answering
    Status401,
    Status404,
    Status500,
    Status507,
    WrongSizeMetadata, // downloads: chunked, X-Cloud-Metadata "bytes" 10 more than sent
    NoContentLength,   // downloads: chunked, X-Cloud-Metadata gives the size
    RedirectOnce,      // 307 to the same address
    WrongShape,        // 200 with a JSON array where an object belongs
    NotJson,           // 200 with a body that is not JSON
    RedirectElsewhere, // 307 to the same path and query on the redirect authority
    NoSize,            // downloads: chunked, without any X-Cloud-Metadata
};

struct RecordedRequest {
    std::string method;
    std::string path;   // decoded
    std::string target; // as sent: path and query
    std::string query;  // raw query text
    std::string body;   // form bodies only
    std::uint64_t bodySize = 0;
    std::vector<std::pair<std::string, std::string>>
        params; // query, then form body, decoded, in order
    std::string userAgent;
    std::string contentType;
    int status = 0;

    std::string param(const std::string& name) const;
    bool hasParam(const std::string& name) const;
};

class CloudTestService {
public:
    struct Options {
        std::string appKey = "q7w2k9x4m1z8r5t";
        std::string appSecret = "h3n6p0v2c8j5y1f";
        std::filesystem::path storage; // the account's top folder
        TestCertificate serverCertificate;
        std::vector<TestCertificate> chain; // sent after the server certificate
        std::chrono::milliseconds slowDelay{1500};
        std::string linkUserId = "1001";
        // Where RedirectElsewhere points ("host:port"); "localhost" at this service's port when
        // empty.
        std::string redirectAuthority;
    };

    struct Token {
        std::string token;
        std::string secret;
        std::string uid;
    };

    explicit CloudTestService(Options options);
    ~CloudTestService();
    CloudTestService(const CloudTestService&) = delete;
    CloudTestService& operator=(const CloudTestService&) = delete;

    // Listens on 127.0.0.1 at a free port. False when it cannot.
    bool start();
    void stop();
    std::uint16_t port() const { return port_; }
    std::string baseUrl() const;

    // An access token the service accepts, for the given user.
    Token issueAccessToken(const std::string& uid);
    void revokeTokens();

    // The next `times` requests whose path contains `pathPart` misbehave,
    // once `after` such requests have been served normally.
    void injectFault(ServiceFault fault, std::string pathPart = {}, int times = 1, int after = 0);
    void setRedirectAuthority(std::string authority);

    // Requests whose path contains `pathPart` that have arrived whole, answered or
    // not yet (requests() lists a request only once it is answered).
    int receivedCount(const std::string& pathPart) const;
    std::vector<RecordedRequest> requests() const;
    void clearRequests();
    // TLS connections whose handshake finished.
    int handshakes() const;

    // Where a remote path lives on disk.
    std::filesystem::path localPath(const std::string& remotePath) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
    std::thread thread_;
    std::uint16_t port_ = 0;
};

} // namespace testsupport
