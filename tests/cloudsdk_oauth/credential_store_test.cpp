#include "oauth_credential_concrete_store.h"
#include "oauth_exception.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace {

OAuthCredentials appCredentials() {
    return {{kOAuthCredentialConsumerKey, "appkey"},
            {kOAuthCredentialConsumerSecret, "app&secret"},
            {kOAuthSignatureMethod, "PLAINTEXT"}};
}

std::vector<std::string> names(const URLRequestParameters& parameters) {
    std::vector<std::string> result;
    for (const auto& p : parameters)
        result.push_back(p.name());
    return result;
}

TEST(CredentialStore, TokensMakeTheParametersAndTheSigningKey) {
    OAuthCredentialConcreteStore store(appCredentials(), std::make_shared<OAuthMemoryKeychain>());
    store.setAccessTokenSecret("orphan"); // a secret without its token is not used
    EXPECT_EQ(names(store.oauthParameters()),
              (std::vector<std::string>{"oauth_consumer_key", "oauth_signature_method",
                                        "oauth_timestamp", "oauth_nonce", "oauth_version"}));
    EXPECT_EQ(store.signingKey(), "app%26secret&");
    // The request token stands in for a missing access token.
    store.setRequestToken("rt");
    store.setRequestTokenSecret("rts/1");
    EXPECT_EQ(store.oauthParameters()[1].value(), "rt");
    EXPECT_EQ(store.signingKey(), "app%26secret&rts%2F1");
    // The access token's parameters on the wire are the REST client test's.
    store.setAccessToken("tok");
    store.setAccessTokenSecret("sec ret");
    EXPECT_EQ(store.oauthParameters()[1].value(), "tok");
    EXPECT_EQ(store.signingKey(), "app%26secret&sec%20ret");
    // Discarding clears the five token values and keeps the app's own.
    store.setSessionHandle("e");
    store.discardOAuthCredentials();
    EXPECT_EQ(store.store().size(), 3u);
    EXPECT_EQ(store.signingKey(), "app%26secret&");
}

TEST(CredentialStore, TimestampIsSixtyFourBitSeconds) {
    OAuthCredentialConcreteStore store(appCredentials(), std::make_shared<OAuthMemoryKeychain>());
    store.setClock([] { return std::int64_t{4102444800}; }); // 2100-01-01, past 32 bits
    EXPECT_EQ(store.timestamp(), "4102444800");
    EXPECT_EQ(store.oauthParameters()[2].value(), "4102444800");
}

TEST(CredentialStore, NoncesAreFreshVersion4Uuids) {
    const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    OAuthCredentialConcreteStore store(appCredentials(), std::make_shared<OAuthMemoryKeychain>());
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        std::string nonce = *store.oauthParameters()[3].value();
        EXPECT_TRUE(std::regex_match(nonce, uuid)) << nonce;
        seen.insert(nonce);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST(CredentialStore, ClearingTokenRemovesEntryAndKeychainItem) {
    auto keychain = std::make_shared<OAuthMemoryKeychain>();
    OAuthCredentialConcreteStore store(appCredentials(), "https://api.example.com/1",
                                       "https://www.example.com/1", keychain);
    store.setCredential("tok", kOAuthCredentialAccessToken);
    store.setCredential("tok2", kOAuthCredentialAccessToken); // updates, no duplicate
    OAuthKeychainItemKey key{kOAuthKeychainClassInternetPassword, kOAuthCredentialAccessToken,
                             "api.example.com", "www.example.com"};
    std::string data;
    ASSERT_EQ(keychain->findItem(key, &data), kOAuthKeychainSuccess);
    EXPECT_EQ(data, "tok2");
    EXPECT_EQ(store.accessToken(), "tok2");

    store.setAccessToken(std::nullopt);
    EXPECT_FALSE(store.accessToken());
    EXPECT_EQ(keychain->findItem(key, nullptr), kOAuthKeychainItemNotFound);
    EXPECT_NO_THROW(store.discardOAuthCredentials()); // nothing left to find is fine
}

// A keychain that answers every call with one status.
class FailingKeychain : public OAuthKeychain {
public:
    explicit FailingKeychain(int status) : status_(status) {}
    int addItem(const OAuthKeychainItemKey&, std::uint32_t, const std::string&) override {
        return status_;
    }
    int updateItem(const OAuthKeychainItemKey&, const std::string&) override { return status_; }
    int findItem(const OAuthKeychainItemKey&, std::string*) const override {
        return kOAuthKeychainItemNotFound;
    }
    int deleteItem(const OAuthKeychainItemKey&) override { return status_; }

private:
    int status_;
};

TEST(CredentialStore, KeychainFailuresRaiseNamedExceptions) {
    const std::pair<int, std::string> cases[] = {
        {kOAuthKeychainParameterError, "Keychain parameter error"},
        {kOAuthKeychainDuplicateItem, "Keychain duplicate item exception"},
    };
    for (const auto& [status, name] : cases) {
        OAuthCredentialConcreteStore store(appCredentials(),
                                           std::make_shared<FailingKeychain>(status));
        store.setAccessToken("secret-token");
        try {
            store.setAccessToken(std::nullopt);
            ADD_FAILURE() << name;
        } catch (const OAuthException& e) {
            EXPECT_EQ(e.name(), name);
            EXPECT_EQ(e.reason().find("secret-token"), std::string::npos);
        }
        EXPECT_THROW(store.setCredential("v", kOAuthCredentialAccessToken), OAuthException);
    }
    OAuthCredentialConcreteStore lenient(appCredentials(), std::make_shared<FailingKeychain>(-4));
    EXPECT_NO_THROW(lenient.setAccessToken(std::nullopt));
}

} // namespace
