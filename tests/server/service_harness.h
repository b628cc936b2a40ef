#pragma once
// The test service (mobrix-cloud in this process) without a linked account,
// with a certificate of a test root, and a client that signs its requests
// with the client's own OAuth code.

#include "cloud_test_service.h"
#include "cs_account_info.h"
#include "cs_json.h"
#include "cs_metadata.h"
#include "cs_signed_request.h"
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
using Token = testsupport::CloudTestService::Token;

class ServiceHarness : public testsupport::CloudTestService {
public:
    // `tls` false serves plain HTTP; `configure` changes the configuration before the start.
    explicit ServiceHarness(bool tls = true,
                            std::function<void(server::ServerConfig&)> configure = {});

    bool started() const { return started_; }
    std::string caFile() const { return (folder() / "ca.pem").string(); }
    // A new account and an access token of it, as a link would give it.
    Token account(const std::string& name, std::int64_t quota = std::int64_t{1} << 30);
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
    static CSSignedRequest sign(OAuthCredentialConcreteStore& store, const std::string& url,
                                const std::string& method, const Params& params = {},
                                bool upload = false);
    // The path and query of a signed URL.
    static std::string target(const CSSignedRequest& request);

private:
    bool started_ = false;
};

// Whether a body store's scratch folder holds no body being written (only
// the live processes' lock files).
bool noScratchBodies(const std::filesystem::path& blobs);

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
    const CSJsonValue body = json(result->body);
    const CSJsonValue* error = body.find("error");
    return error ? error->asString() : std::string();
}

} // namespace servertest
