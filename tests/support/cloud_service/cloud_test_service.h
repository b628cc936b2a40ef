#pragma once
// mobrix-cloud itself in this process, on 127.0.0.1 at a free port, with the
// certificate (and chain) the test made and its data in a temporary folder.
// One account, whose uid is `linkUserId`, is what the link page and the
// issued tokens give. Around the service's own handling this layer records
// what it was sent and can be told to misbehave.

#include "cloud_service.h"
#include "metadata_store.h"
#include "server_config.h"
#include "test_pki.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

enum class ServiceFault {
    None,
    ShortBody,     // downloads: Content-Length 10 bytes more than sent, then the connection closes
    CutConnection, // half the body, then the connection closes
    Slow,          // waits 1.5 s before answering
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
        TestCertificate serverCertificate;  // none: plain HTTP
        std::vector<TestCertificate> chain; // sent after the server certificate
        // Empty: no account is made and the link page is the service's own;
        // otherwise a GET of the link page signs this account in at once.
        std::string linkUserId = "1001";
        // Changes the service's configuration before it starts.
        std::function<void(server::ServerConfig&)> configure;
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
    std::uint16_t port() const;
    std::string baseUrl() const;

    // An access token the service accepts, for the given user.
    Token issueAccessToken(const std::string& uid);
    void revokeTokens();
    // An account of its own; gives its uid.
    std::int64_t addAccount(const std::string& name, const std::string& password,
                            std::int64_t quota = std::int64_t{1} << 30);

    // The next `times` requests whose path contains `pathPart` misbehave,
    // once `after` such requests have been served normally.
    void injectFault(ServiceFault fault, std::string pathPart = {}, int times = 1, int after = 0);
    // Where RedirectElsewhere points ("host:port"); "localhost" at this service's port when unset.
    void setRedirectAuthority(std::string authority);

    // Requests whose path contains `pathPart` that have arrived whole, answered or
    // not yet (requests() lists a request only once it is answered).
    int receivedCount(const std::string& pathPart) const;
    std::vector<RecordedRequest> requests() const;
    void clearRequests();

    // The account's files through the service's own stores.
    bool putFile(const std::string& remotePath, std::istream& body);
    bool putFile(const std::string& remotePath, const std::string& body);
    std::optional<std::string> readFile(const std::string& remotePath) const;
    // Paths of the account's entries without the leading "/", folders ending in "/", sorted.
    std::vector<std::string> tree() const;

    // The service itself and its data folder.
    server::CloudService& cloud();
    const std::filesystem::path& folder() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace testsupport
