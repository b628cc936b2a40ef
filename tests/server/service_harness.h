#pragma once
// mobrix-cloud in this process on 127.0.0.1 at a free port, with a test
// certificate made on the spot and its data in a temporary folder; and a
// client that signs its requests with the client's own OAuth code.

#include "cloud_service.h"
#include "metadata_store.h"
#include "oauth_credential_concrete_store.h"
#include "test_pki.h"

#include <httplib.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace servertest {

inline constexpr const char* kAppKey = "q7w2k9x4m1z8r5t";
inline constexpr const char* kAppSecret = "h3n6p0v2c8j5y1f";

using Params = std::vector<std::pair<std::string, std::string>>;

struct Token {
    std::string token;
    std::string secret;
    std::int64_t uid = 0;
};

class ServiceHarness {
public:
    // `tls` false serves plain HTTP; `metadataUrl` replaces the SQLite file;
    // `publicUrl` is the address clients are told the service has; `configure`
    // changes the rest of the configuration before the service starts.
    explicit ServiceHarness(bool tls = true, const std::string& metadataUrl = {},
                            const std::string& publicUrl = {},
                            const std::function<void(server::ServerConfig&)>& configure = {});
    ~ServiceHarness();

    bool started() const { return started_; }
    int port() const { return service_->port(); }
    const std::filesystem::path& folder() const { return folder_; }
    std::string caFile() const { return (folder_ / "ca.pem").string(); }
    const testsupport::TestCertificate& root() const { return root_; }
    std::string baseUrl() const;
    server::MetadataStore& store() { return *store_; }
    server::CloudService& cloud() { return *service_; }

    std::int64_t addAccount(const std::string& name, const std::string& password,
                            std::int64_t quota = 1 << 30);
    // An access token of the account, as a link would give it.
    Token accessToken(std::int64_t uid);

    std::unique_ptr<httplib::Client> client() const;

    // Signed as the client signs: GET parameters in the query, POST in a form body.
    httplib::Result call(const Token& token, const std::string& method, const std::string& path,
                         const Params& params = {},
                         const std::string& signatureMethod = "PLAINTEXT");
    // An upload: every parameter in the query, the bytes as the body.
    httplib::Result upload(const Token& token, const std::string& path, const std::string& body,
                           const Params& params = {});
    // The signing store of a token (nothing for consumer-only requests).
    static OAuthCredentialConcreteStore credentials(const Token* token,
                                                    const std::string& signatureMethod);

private:
    std::filesystem::path folder_;
    testsupport::TestCertificate root_;
    std::unique_ptr<server::CloudService> service_;
    std::unique_ptr<server::MetadataStore> store_;
    std::thread thread_;
    bool started_ = false;
    bool tls_;
};

// Whether a body store's scratch folder holds no body being written (only
// the live processes' lock files).
bool noScratchBodies(const std::filesystem::path& blobs);

// "/1/files_put/cloud" and a path, escaped as the client escapes it.
std::string escapedPath(const std::string& path);

} // namespace servertest
