#pragma once
// The credentials of one linked account and the OAuth protocol parameters
// and signing key they give.

#include "oauth_credential_names.h"
#include "oauth_keychain.h"
#include "url_request_parameter.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using OAuthCredentials = std::vector<std::pair<std::string, std::string>>;

class OAuthCredentialConcreteStore {
public:
    // Seconds since 1970-01-01 00:00 UTC.
    using Clock = std::function<std::int64_t()>;

    // `keychain` null gives the store an in-memory keychain of its own.
    explicit OAuthCredentialConcreteStore(const OAuthCredentials& credentials,
                                          std::shared_ptr<OAuthKeychain> keychain = nullptr);
    // The base URL also serves as the authentication URL.
    OAuthCredentialConcreteStore(const OAuthCredentials& credentials, std::string baseURL,
                                 std::shared_ptr<OAuthKeychain> keychain = nullptr);
    OAuthCredentialConcreteStore(const OAuthCredentials& credentials, std::string baseURL,
                                 std::string authenticationURL,
                                 std::shared_ptr<OAuthKeychain> keychain = nullptr);

    const std::map<std::string, std::string>& store() const { return store_; }
    const std::optional<std::string>& baseURL() const { return baseURL_; }
    const std::optional<std::string>& authenticationURL() const { return authenticationURL_; }

    std::optional<std::string> credentialNamed(std::string_view name) const;
    std::optional<std::string> consumerKey() const;
    std::optional<std::string> consumerSecret() const;
    std::optional<std::string> requestToken() const;
    std::optional<std::string> requestTokenSecret() const;
    std::optional<std::string> accessToken() const;
    std::optional<std::string> accessTokenSecret() const;
    std::optional<std::string> sessionHandle() const;
    std::optional<std::string> signatureMethod() const;

    // A value is stored under its name; an absent one removes the entry and
    // the keychain item of that name. Keychain failures throw OAuthException.
    void setRequestToken(std::optional<std::string> value);
    void setRequestTokenSecret(std::optional<std::string> value);
    void setAccessToken(std::optional<std::string> value);
    void setAccessTokenSecret(std::optional<std::string> value);
    void setSessionHandle(std::optional<std::string> value);
    void setSignatureMethod(std::optional<std::string> value);
    void discardOAuthCredentials();

    // Stores the value and writes it to the keychain item of that name.
    void setCredential(const std::string& value, const std::string& name);
    void removeCredentialNamed(const std::string& name);

    // Access token secret, else request token secret (each only with its
    // token), else "".
    std::string tokenSecret() const;
    // escaped(consumer secret) "&" escaped(tokenSecret()).
    std::string signingKey() const;
    // Decimal seconds since 1970, 64-bit.
    std::string timestamp() const;
    // consumer key, token (when any), signature method, timestamp, nonce, version.
    URLRequestParameters oauthParameters() const;

    // Replaces the wall clock (tests).
    void setClock(Clock clock) { clock_ = std::move(clock); }

private:
    void setOrRemove(const char* name, std::optional<std::string> value);
    OAuthKeychainItemKey keychainKey(const std::string& name) const;

    std::map<std::string, std::string> store_;
    std::optional<std::string> baseURL_;
    std::optional<std::string> authenticationURL_;
    std::shared_ptr<OAuthKeychain> keychain_;
    Clock clock_;
};

// A random (version 4) UUID in its 36-character uppercase form.
std::string OAuthMakeUUID();
