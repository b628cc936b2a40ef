#pragma once
// The test service (mobrix-cloud in this process) without a linked account,
// with a test certificate made on the spot, and a client that signs its
// requests with the client's own OAuth code.

#include "cloud_test_service.h"
#include "cs_account_info.h"
#include "cs_json.h"
#include "cs_metadata.h"
#include "oauth_credential_concrete_store.h"

#include <httplib.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
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

class ServiceHarness : public testsupport::CloudTestService {
public:
    // `tls` false serves plain HTTP; `metadataUrl` replaces the SQLite file;
    // `publicUrl` is the address clients are told the service has; `configure`
    // changes the rest of the configuration before the service starts.
    explicit ServiceHarness(bool tls = true, const std::string& metadataUrl = {},
                            const std::string& publicUrl = {},
                            const std::function<void(server::ServerConfig&)>& configure = {});

    bool started() const { return started_; }
    std::string caFile() const { return (folder() / "ca.pem").string(); }
    const testsupport::TestCertificate& root() const { return root_; }

    // An access token of the account, as a link would give it.
    servertest::Token accessToken(std::int64_t uid);
    std::unique_ptr<httplib::Client> client() const;

    // Signed as the client signs: GET parameters in the query, POST in a form body.
    httplib::Result call(const servertest::Token& token, const std::string& method,
                         const std::string& path, const Params& params = {},
                         const std::string& signatureMethod = "PLAINTEXT");
    // An upload: every parameter in the query, the bytes as the body.
    httplib::Result upload(const servertest::Token& token, const std::string& path,
                           const std::string& body, const Params& params = {});
    // The signing store of a token (nothing for consumer-only requests).
    static OAuthCredentialConcreteStore credentials(const servertest::Token* token,
                                                    const std::string& signatureMethod);

private:
    ServiceHarness(testsupport::TestCertificate root, bool tls, const std::string& metadataUrl,
                   const std::string& publicUrl,
                   const std::function<void(server::ServerConfig&)>& configure);
    testsupport::TestCertificate root_;
    bool started_ = false;
};

// Whether a body store's scratch folder holds no body being written (only
// the live processes' lock files).
bool noScratchBodies(const std::filesystem::path& blobs);

// "/1/files_put/cloud" and a path, escaped as the client escapes it.
std::string escapedPath(const std::string& path);

// Answers read with the client's own JSON reader and records.

inline CSJsonValue json(const std::string& text) {
    CSJsonParser parser;
    return parser.fragmentWithString(std::string_view(text)).value_or(CSJsonValue());
}

inline std::optional<CSMetadata> metadataOf(const httplib::Result& result) {
    if (!result || result->status != 200)
        return std::nullopt;
    return CSMetadata::initWithDictionary(json(result->body));
}

// The "error" text of a failure answer ("" when there is none).
inline std::string errorOf(const httplib::Result& result) {
    if (!result)
        return "(no answer)";
    auto body = json(result->body);
    const CSJsonValue* error = body.find("error");
    return error ? error->asString() : std::string();
}

} // namespace servertest
