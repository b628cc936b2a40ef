#include "oauth_credential_concrete_store.h"

#include "cs_escaping.h"
#include "cs_url.h"
#include "oauth_exception.h"

#include <chrono>

namespace {

std::int64_t secondsSinceEpoch() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

// Raises the named exception for the keychain failures that are programming
// errors; any other status (item not found included) is ignored.
void checkKeychainStatus(int status, const OAuthKeychainItemKey& key) {
    switch (status) {
    case kOAuthKeychainParameterError:
        throw OAuthException(kOAuthKeychainParameterException,
                             "One or more parameters passed to the function were not valid from " +
                                 describeKeychainItemKey(key));
    case kOAuthKeychainMemoryError:
        throw OAuthException(kOAuthKeychainMemoryException, "Failed to allocate memory");
    case kOAuthKeychainNotAvailable:
        throw OAuthException(kOAuthKeychainNotAvailableException,
                             "Keychain Access Not Currently Available");
    case kOAuthKeychainDuplicateItem:
        throw OAuthException(kOAuthKeychainDuplicateItemException,
                             "Item already exists for " + describeKeychainItemKey(key));
    default:
        return;
    }
}

} // namespace

OAuthCredentialConcreteStore::OAuthCredentialConcreteStore(const OAuthCredentials& credentials,
                                                           std::shared_ptr<OAuthKeychain> keychain)
    : keychain_(keychain ? std::move(keychain) : std::make_shared<OAuthMemoryKeychain>()),
      clock_(secondsSinceEpoch) {
    for (const auto& [name, value] : credentials)
        store_[name] = value;
}

OAuthCredentialConcreteStore::OAuthCredentialConcreteStore(const OAuthCredentials& credentials,
                                                           std::string baseURL,
                                                           std::shared_ptr<OAuthKeychain> keychain)
    : OAuthCredentialConcreteStore(credentials, baseURL, baseURL, std::move(keychain)) {}

OAuthCredentialConcreteStore::OAuthCredentialConcreteStore(const OAuthCredentials& credentials,
                                                           std::string baseURL,
                                                           std::string authenticationURL,
                                                           std::shared_ptr<OAuthKeychain> keychain)
    : OAuthCredentialConcreteStore(credentials, std::move(keychain)) {
    baseURL_ = std::move(baseURL);
    authenticationURL_ = std::move(authenticationURL);
}

std::optional<std::string>
OAuthCredentialConcreteStore::credentialNamed(std::string_view name) const {
    auto it = store_.find(std::string(name));
    if (it == store_.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::string> OAuthCredentialConcreteStore::consumerKey() const {
    return credentialNamed(kOAuthCredentialConsumerKey);
}
std::optional<std::string> OAuthCredentialConcreteStore::consumerSecret() const {
    return credentialNamed(kOAuthCredentialConsumerSecret);
}
std::optional<std::string> OAuthCredentialConcreteStore::requestToken() const {
    return credentialNamed(kOAuthCredentialRequestToken);
}
std::optional<std::string> OAuthCredentialConcreteStore::requestTokenSecret() const {
    return credentialNamed(kOAuthCredentialRequestTokenSecret);
}
std::optional<std::string> OAuthCredentialConcreteStore::accessToken() const {
    return credentialNamed(kOAuthCredentialAccessToken);
}
std::optional<std::string> OAuthCredentialConcreteStore::accessTokenSecret() const {
    return credentialNamed(kOAuthCredentialAccessTokenSecret);
}
std::optional<std::string> OAuthCredentialConcreteStore::sessionHandle() const {
    return credentialNamed(kOAuthCredentialSessionHandle);
}
std::optional<std::string> OAuthCredentialConcreteStore::signatureMethod() const {
    return credentialNamed(kOAuthSignatureMethod);
}

OAuthKeychainItemKey OAuthCredentialConcreteStore::keychainKey(const std::string& name) const {
    OAuthKeychainItemKey key;
    key.account = name;
    if (baseURL_)
        key.server = hostOfURL(*baseURL_);
    if (authenticationURL_)
        key.securityDomain = hostOfURL(*authenticationURL_);
    return key;
}

void OAuthCredentialConcreteStore::setOrRemove(const char* name, std::optional<std::string> value) {
    if (value) {
        store_[name] = std::move(*value);
        return;
    }
    store_.erase(name);
    OAuthKeychainItemKey key = keychainKey(name);
    checkKeychainStatus(keychain_->deleteItem(key), key);
}

void OAuthCredentialConcreteStore::setRequestToken(std::optional<std::string> value) {
    setOrRemove(kOAuthCredentialRequestToken, std::move(value));
}
void OAuthCredentialConcreteStore::setRequestTokenSecret(std::optional<std::string> value) {
    setOrRemove(kOAuthCredentialRequestTokenSecret, std::move(value));
}
void OAuthCredentialConcreteStore::setAccessToken(std::optional<std::string> value) {
    setOrRemove(kOAuthCredentialAccessToken, std::move(value));
}
void OAuthCredentialConcreteStore::setAccessTokenSecret(std::optional<std::string> value) {
    setOrRemove(kOAuthCredentialAccessTokenSecret, std::move(value));
}
void OAuthCredentialConcreteStore::setSessionHandle(std::optional<std::string> value) {
    setOrRemove(kOAuthCredentialSessionHandle, std::move(value));
}
void OAuthCredentialConcreteStore::setSignatureMethod(std::optional<std::string> value) {
    setOrRemove(kOAuthSignatureMethod, std::move(value));
}

void OAuthCredentialConcreteStore::discardOAuthCredentials() {
    setRequestToken(std::nullopt);
    setRequestTokenSecret(std::nullopt);
    setAccessToken(std::nullopt);
    setAccessTokenSecret(std::nullopt);
    setSessionHandle(std::nullopt);
}

void OAuthCredentialConcreteStore::setCredential(const std::string& value,
                                                 const std::string& name) {
    store_[name] = value;
    OAuthKeychainItemKey key = keychainKey(name);
    int status = keychain_->findItem(key, nullptr) == kOAuthKeychainSuccess
                     ? keychain_->updateItem(key, value)
                     : keychain_->addItem(key, kOAuthKeychainItemType, value);
    checkKeychainStatus(status, key);
}

void OAuthCredentialConcreteStore::removeCredentialNamed(const std::string& name) {
    store_.erase(name);
    OAuthKeychainItemKey key = keychainKey(name);
    checkKeychainStatus(keychain_->deleteItem(key), key);
}

std::string OAuthCredentialConcreteStore::tokenSecret() const {
    if (accessToken())
        return accessTokenSecret().value_or("");
    if (requestToken())
        return requestTokenSecret().value_or("");
    return {};
}

std::string OAuthCredentialConcreteStore::signingKey() const {
    return stringByAddingURIPercentEscapesUsingEncoding(consumerSecret().value_or("")) + "&" +
           stringByAddingURIPercentEscapesUsingEncoding(tokenSecret());
}

std::string OAuthCredentialConcreteStore::timestamp() const {
    return std::to_string(clock_());
}

URLRequestParameters OAuthCredentialConcreteStore::oauthParameters() const {
    URLRequestParameters parameters;
    parameters.reserve(6);
    parameters.emplace_back("oauth_consumer_key", consumerKey());
    if (auto token = accessToken() ? accessToken() : requestToken())
        parameters.emplace_back("oauth_token", std::move(token));
    parameters.emplace_back("oauth_signature_method", signatureMethod());
    parameters.emplace_back("oauth_timestamp", timestamp());
    parameters.emplace_back("oauth_nonce", OAuthMakeUUID());
    // A ready-made version parameter is given as its value text.
    parameters.emplace_back("oauth_version",
                            credentialNamed(kOAuthVersionParameter).value_or("1.0"));
    return parameters;
}
