// Linking: the sign-in page for accounts the operator made, its answers to
// the program's scheme, and the request-token exchange.
#include "cs_query_string.h"
#include "cs_secret_fingerprint.h"
#include "link_page.h"
#include "service_harness.h"

#include <gtest/gtest.h>

using namespace servertest;

namespace {

class LinkFlow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.started());
        uid = service.addAccount("ann", "right password");
    }

    std::string linkQuery(const std::string& state = "6F1C-STATE") {
        return "k=" + std::string(kAppKey) + "&s=" + csSecretFingerprint(kAppSecret) +
               "&state=" + state + "&easl=1";
    }

    httplib::Result signIn(const std::string& name, const std::string& password,
                           const std::string& action = "allow") {
        return service.client()->Post("/1/connect_login",
                                      linkQuery() + "&name=" + name + "&password=" + password +
                                          "&action=" + action,
                                      "application/x-www-form-urlencoded");
    }

    ServiceHarness service;
    std::int64_t uid = 0;
};

} // namespace

TEST_F(LinkFlow, ThePageIsASignInFormCarryingTheLinkRequest) {
    auto page = service.client()->Get(("/1/connect_login?" + linkQuery("<b>")).c_str());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos);
    EXPECT_NE(page->body.find("type=\"password\""), std::string::npos);
    EXPECT_NE(page->body.find("name=\"state\" value=\"&lt;b&gt;\""), std::string::npos);
    EXPECT_EQ(page->body.find("<b>"), std::string::npos);
    // Another program's key, or a secret fingerprint that does not match, gets no form.
    auto other = service.client()->Get("/1/connect_login?k=other&s=1&state=x");
    EXPECT_EQ(other->status, 400);
    std::string wrongPrint = "/1/connect_login?k=" + std::string(kAppKey) + "&s=1234&state=x";
    EXPECT_EQ(service.client()->Get(wrongPrint.c_str())->status, 400);
}

TEST_F(LinkFlow, AWrongPasswordShowsTheFormAgainAndCancelAnswersCancel) {
    for (const auto& [name, password] : std::vector<std::pair<std::string, std::string>>{
             {"ann", "wrong"}, {"nobody", "right+password"}, {"ann", ""}}) {
        auto refused = signIn(name, password);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 403);
        EXPECT_TRUE(refused->get_header_value("Location").empty());
        EXPECT_NE(refused->body.find("Wrong name or password"), std::string::npos);
    }
    auto cancelled = signIn("", "", "cancel");
    EXPECT_EQ(cancelled->status, 302);
    EXPECT_EQ(cancelled->get_header_value("Location"),
              "cs-" + std::string(kAppKey) + "://1/cancel");
}

TEST_F(LinkFlow, ARequestTokenBecomesAnAccessTokenOnlyOnceSignedIn) {
    auto request = service.call(Token{}, "GET", "/1/oauth/request_token");
    ASSERT_TRUE(request);
    ASSERT_EQ(request->status, 200) << request->body;
    auto values = dictionaryWithQueryString(request->body);
    // The request token is signed with like an access token, but is not one.
    Token requestToken{values["oauth_token"], values["oauth_token_secret"], ""};
    EXPECT_EQ(service.call(requestToken, "GET", "/1/account/info")->status, 401);
    EXPECT_EQ(service.call(requestToken, "GET", "/1/oauth/access_token")->status, 401);

    auto page = service.client()->Post("/1/oauth/authorize",
                                       "oauth_token=" + requestToken.token +
                                           "&name=ann&password=right+password&action=allow",
                                       "application/x-www-form-urlencoded");
    EXPECT_EQ(page->status, 200);
    auto access = service.call(requestToken, "GET", "/1/oauth/access_token");
    ASSERT_EQ(access->status, 200) << access->body;
    auto granted = dictionaryWithQueryString(access->body);
    EXPECT_EQ(granted["uid"], std::to_string(uid));
    Token accessToken{granted["oauth_token"], granted["oauth_token_secret"], granted["uid"]};
    EXPECT_EQ(service.call(accessToken, "GET", "/1/account/info")->status, 200);
    // The request token is spent.
    EXPECT_EQ(service.call(requestToken, "GET", "/1/oauth/access_token")->status, 401);
}
