#pragma once
// Checks the OAuth 1.0 signature of a request the way the client makes it:
// consumer key, signature (HMAC-SHA1, or PLAINTEXT over TLS only), timestamp
// within the window, nonce never seen before (by any process sharing the
// metadata store), token known and of the right kind.

#include "metadata_store.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace server {

using Parameters = std::vector<std::pair<std::string, std::string>>;

// What the signature covers.
struct SignedRequestView {
    std::string method;
    std::string url;       // scheme, authority and path as the client addressed them, no query
    Parameters parameters; // query and form body, decoded, oauth_signature included
    bool overTls = true;
};

enum class TokenNeed { None, Request, Access };

struct OAuthResult {
    bool ok = false;
    std::string error; // for the 401 answer; never holds a secret
    std::optional<TokenRecord> token;
};

class OAuthVerifier {
public:
    struct Settings {
        std::string consumerKey;
        std::string consumerSecret;
        std::int64_t windowSeconds = 15 * 60;
    };
    using Clock = std::function<std::int64_t()>;

    OAuthVerifier(Settings settings, MetadataStore& store, Clock clock)
        : settings_(std::move(settings)), store_(store), clock_(std::move(clock)) {}

    OAuthResult verify(const SignedRequestView& request, TokenNeed need) const;

private:
    Settings settings_;
    MetadataStore& store_;
    Clock clock_;
};

// The value of the first parameter of that name, or nothing.
std::optional<std::string> parameter(const Parameters& parameters, std::string_view name);

} // namespace server
