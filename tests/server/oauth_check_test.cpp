// The signature check as the client's signing code meets it: every way a
// request can fail to prove itself gives 401 with an error body; the log
// keeps no secret.
#include "service_harness.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace servertest;

namespace {

class OAuthCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.started());
        token = service.account("ann");
    }

    ServiceHarness service;
    Token token;
};

// A signed GET of account/info, made by the client's code, with its query.
std::string signedTarget(ServiceHarness& service, OAuthCredentialConcreteStore& store) {
    return ServiceHarness::target(
        ServiceHarness::sign(store, service.baseUrl() + "/1/account/info", "GET"));
}

} // namespace

// Every way a signature can fail: each case changes a good request and
// names what the error must mention.
TEST_F(OAuthCheck, WrongSecretsTokensMethodsAndParametersAreRefused) {
    Token wrongSecret{token.token, token.secret + "x", token.uid};
    Token unknown{"0123456789abcdef", token.secret, token.uid};
    for (const auto& [who, method] :
         std::vector<std::pair<Token, std::string>>{{wrongSecret, "PLAINTEXT"},
                                                    {wrongSecret, "HMAC-SHA1"},
                                                    {unknown, "PLAINTEXT"},
                                                    {Token{}, "PLAINTEXT"}}) {
        auto result = service.call(who, "GET", "/1/account/info", {}, method);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 401) << method;
        EXPECT_FALSE(errorOf(result).empty());
        EXPECT_EQ(errorOf(result).find(token.secret), std::string::npos);
    }
    struct Change {
        const char* method;
        const char* from;
        const char* to;
    };
    for (const Change& c : {Change{"PLAINTEXT", "PLAINTEXT", "RSA-SHA1"},
                            Change{"HMAC-SHA1", "locale=en", "locale=fr"}}) {
        auto store = ServiceHarness::credentials(&token, c.method);
        std::string target = signedTarget(service, store);
        target.replace(target.find(c.from), std::string(c.from).size(), c.to);
        EXPECT_EQ(service.client()->Get(target.c_str())->status, 401) << c.to;
    }
}

TEST_F(OAuthCheck, ANonceIsTakenOnceAndTimestampsOutsideTheWindowAreStale) {
    auto store = ServiceHarness::credentials(&token, "PLAINTEXT");
    const std::string target = signedTarget(service, store);
    auto c = service.client();
    EXPECT_EQ(c->Get(target.c_str())->status, 200);
    auto replay = c->Get(target.c_str());
    EXPECT_EQ(replay->status, 401);
    EXPECT_NE(errorOf(replay).find("nonce"), std::string::npos);

    for (std::int64_t shift : {-16 * 60, 16 * 60}) {
        store.setClock([shift] { return static_cast<std::int64_t>(std::time(nullptr)) + shift; });
        auto stale = c->Get(signedTarget(service, store).c_str());
        EXPECT_EQ(stale->status, 401);
        EXPECT_NE(errorOf(stale).find("timestamp"), std::string::npos);
    }
    store.setClock([] { return static_cast<std::int64_t>(std::time(nullptr)) - 10 * 60; });
    EXPECT_EQ(c->Get(signedTarget(service, store).c_str())->status, 200);
}

TEST_F(OAuthCheck, TheRequestLogHoldsNoQueryAndNoSecret) {
    service.call(token, "GET", "/1/metadata/cloud/", {{"hash", "h"}});
    service.call(token, "POST", "/1/fileops/create_folder", {{"root", "cloud"}, {"path", "/x"}});
    service.call(Token{"0123456789abcdef", "s", ""}, "GET", "/1/account/info");
    std::ifstream in(service.folder() / "requests.log");
    std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find("GET /1/metadata/cloud/ 200"), std::string::npos) << log;
    EXPECT_NE(log.find("POST /1/fileops/create_folder 200"), std::string::npos) << log;
    EXPECT_NE(log.find("GET /1/account/info 401"), std::string::npos) << log;
    for (const std::string& secret : {token.token, token.secret, std::string("0123456789abcdef"),
                                      std::string(kAppSecret), std::string("oauth_")})
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
}

TEST(OAuthCheckPlainHttp, PlaintextNeedsTlsWhileHmacDoesNot) {
    ServiceHarness service(false);
    ASSERT_TRUE(service.started());
    Token token = service.account("ann");
    auto plain = service.call(token, "GET", "/1/account/info");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->status, 401);
    EXPECT_NE(errorOf(plain).find("TLS"), std::string::npos);
    auto folder = metadataOf(service.call(token, "POST", "/1/fileops/create_folder",
                                          {{"root", "cloud"}, {"path", "/a b&c+d"}}, "HMAC-SHA1"));
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->path(), "/a b&c+d");
}

TEST(OAuthCheckPlainHttp, BehindATlsProxyTheHttpsPublicAddressIsWhatIsSigned) {
    ServiceHarness service(
        false, [](server::ServerConfig& c) { c.publicUrl = "https://backup.home.test"; });
    ASSERT_TRUE(service.started());
    Token token = service.account("ann");
    EXPECT_EQ(service.call(token, "GET", "/1/account/info")->status, 200);
    // An HMAC signature over the address the proxy was reached at holds...
    auto store = ServiceHarness::credentials(&token, "HMAC-SHA1");
    auto signedOuter =
        ServiceHarness::sign(store, "https://backup.home.test/1/account/info", "GET");
    EXPECT_EQ(service.client()->Get(ServiceHarness::target(signedOuter).c_str())->status, 200);
    // ...and one over the inner address does not.
    EXPECT_EQ(service.call(token, "GET", "/1/account/info", {}, "HMAC-SHA1")->status, 401);
}
