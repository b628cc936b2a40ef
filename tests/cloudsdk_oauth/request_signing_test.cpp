#include "oauth_credential_concrete_store.h"
#include "oauth_exception.h"
#include "oauth_signature_parameter.h"
#include "oauth_url_request.h"

#include <gtest/gtest.h>

namespace {

URLRequestParameters rfcExampleParameters() {
    return URLRequestParameter::parametersFromDictionary({
        {"oauth_consumer_key", "dpf43f3p2l4k3l03"},
        {"oauth_token", "nnch734d00sl2jdk"},
        {"oauth_signature_method", "HMAC-SHA1"},
        {"oauth_timestamp", "137131202"},
        {"oauth_nonce", "chapoH"},
        {"file", "vacation.jpg"},
        {"size", "original"},
    });
}

std::string queryOf(const std::string& url) {
    return url.substr(url.find('?') + 1);
}

// The photo request of RFC 5849, signed from exactly its parameters.
TEST(HmacSha1, SignsTheRfcExampleRequest) {
    OAuthURLRequest builder("http://photos.example.net/photos", rfcExampleParameters());
    CSSignedRequest request =
        builder.urlRequestSignedWithSecret("kd94hf93k423kf44&pfkkdhi9sl3r4s00", "HMAC-SHA1");
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(
        request.url,
        "http://photos.example.net/photos?file=vacation.jpg&oauth_consumer_key=dpf43f3p2l4k3l03"
        "&oauth_nonce=chapoH&oauth_signature_method=HMAC-SHA1&oauth_timestamp=137131202"
        "&oauth_token=nnch734d00sl2jdk&size=original"
        "&oauth_signature=MdpQcU8iPSUjWoN%2FUDMsK2sui9I%3D");
    EXPECT_TRUE(request.body.empty());
    ASSERT_TRUE(builder.urlRequest());
    EXPECT_EQ(builder.urlRequest()->url, request.url);
}

TEST(HmacSha1, QueryOnTheUrlIsSignedLikeParameters) {
    URLRequestParameters oauthOnly = rfcExampleParameters();
    oauthOnly.erase(oauthOnly.begin() + 5, oauthOnly.end());
    OAuthURLRequest builder("http://photos.example.net/photos?file=vacation.jpg&size=original",
                            oauthOnly);
    CSSignedRequest request =
        builder.urlRequestSignedWithSecret("kd94hf93k423kf44&pfkkdhi9sl3r4s00", "HMAC-SHA1");
    EXPECT_EQ(request.url.find('?'), request.url.rfind('?'));
    EXPECT_NE(request.url.find("&oauth_signature=MdpQcU8iPSUjWoN%2FUDMsK2sui9I%3D"),
              std::string::npos);
}

// The base string example of RFC 5849, from the example's normalized
// parameters. This system sorts raw names and values, the RFC sorts encoded
// ones; they differ only when reserved characters are involved ("c@" sorts
// after "c2" here but "c%40" before it there), and such names are never
// signed with HMAC-SHA1 by this system, so the raw order stays.
TEST(HmacSha1, BaseStringOfTheRfcExample) {
    const std::string normalized =
        "a2=r%20b&a3=2%20q&a3=a&b5=%3D%253D&c%40=&c2=&oauth_consumer_key=9djdj82h48djs9d2"
        "&oauth_nonce=7d8f3e4a&oauth_signature_method=HMAC-SHA1&oauth_timestamp=137131201"
        "&oauth_token=kkk9d7dh3k39sjv7";
    OAuthURLRequest builder("http://example.com/request");
    builder.setHTTPMethod("POST");
    EXPECT_EQ(
        OAuthSignatureParameter::signatureBaseStringUsingParameterString(normalized, builder),
        "POST&http%3A%2F%2Fexample.com%2Frequest&a2%3Dr%2520b%26a3%3D2%2520q%26a3%3Da%26b5%3D%"
        "253D%25253D%26c%2540%3D%26c2%3D%26oauth_consumer_key%3D9djdj82h48djs9d2%26oauth_"
        "nonce%3D7d8f3e4a%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D137131201%"
        "26oauth_token%3Dkkk9d7dh3k39sjv7");

    OAuthURLRequest raw("http://example.com/request",
                        URLRequestParameter::parametersFromDictionary({{"c@", ""}, {"c2", ""}}));
    raw.setHTTPMethod("POST");
    EXPECT_EQ(raw.urlRequestSignedWithSecret("k&", "PLAINTEXT").body.rfind("c2=&c%40=&", 0), 0u);
}

TEST(HmacSha1, BaseStringUsesNormalizedUrl) {
    OAuthURLRequest builder("https://example.com");
    EXPECT_EQ(OAuthSignatureParameter::signatureBaseStringUsingParameterString("a=b", builder),
              "GET&https%3A%2F%2Fexample.com%2F&a%3Db");
}

TEST(Plaintext, SignatureIsTheKeyEscapedTwice) {
    OAuthCredentialConcreteStore store({{kOAuthCredentialConsumerKey, "key"},
                                        {kOAuthCredentialConsumerSecret, "a&b"},
                                        {kOAuthSignatureMethod, "PLAINTEXT"}},
                                       std::make_shared<OAuthMemoryKeychain>());
    store.setAccessToken("tok");
    store.setAccessTokenSecret("s/t");
    OAuthURLRequest builder("https://api.example.com/1/account/info", store.oauthParameters());
    CSSignedRequest request = builder.urlRequestSignedWithSecret(store.signingKey(), "PLAINTEXT");
    std::string query = queryOf(request.url);
    const std::string tail = "&oauth_signature=a%2526b%26s%252Ft";
    ASSERT_GE(query.size(), tail.size());
    EXPECT_EQ(query.substr(query.size() - tail.size()), tail);
}

// Where the parameters and the signature go: the query of a GET and of an
// upload, the form body of a POST. The separator before the signature is
// written even when nothing precedes it.
TEST(Signing, ParametersGoToTheQueryOrTheFormBody) {
    struct Case {
        std::string kind, url;
        URLParameterPairs params;
        std::string secret, signedUrl, body;
    };
    const std::string api = "https://api.example.com/1/";
    const std::string put = "https://content.example.com/1/files_put/cloud/";
    // clang-format off
    const Case cases[] = {
        {"POST", api + "fileops/delete", {{"root", "cloud"}, {"path", "/Caf\xC3\xA9"}, {"oauth_nonce", "n"}}, "s&t",
         api + "fileops/delete", "oauth_nonce=n&path=%2FCaf%C3%A9&root=cloud&oauth_signature=s%26t"},
        {"upload", put + "Mobrix/A%20B.zip", {{"overwrite", "false"}, {"oauth_consumer_key", "k"}}, "s&",
         put + "Mobrix/A%20B.zip?oauth_consumer_key=k&overwrite=false&oauth_signature=s%26", ""},
        {"GET", api + "x", {}, "c&t", api + "x?&oauth_signature=c%26t", ""},
        {"POST", api + "x", {}, "c&t", api + "x", "&oauth_signature=c%26t"},
        {"upload", put + "a", {}, "c&", put + "a?&oauth_signature=c%26", ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        OAuthURLRequest builder(c.url, URLRequestParameter::parametersFromDictionary(c.params));
        const bool upload = c.kind == "upload";
        builder.setHTTPMethod(upload ? "POST" : c.kind);
        const CSSignedRequest r = upload
                                      ? builder.uploadRequestSignedWithSecret(c.secret, "PLAINTEXT")
                                      : builder.urlRequestSignedWithSecret(c.secret, "PLAINTEXT");
        EXPECT_EQ(r.method, upload ? "POST" : c.kind);
        EXPECT_EQ(r.url, c.signedUrl);
        EXPECT_EQ(r.body, c.body);
        if (c.body.empty())
            EXPECT_TRUE(r.headers.empty());
        else
            EXPECT_EQ(r.headers, (std::vector<std::pair<std::string, std::string>>{
                                     {"Content-Length", std::to_string(r.body.size())},
                                     {"Content-Type", "application/x-www-form-urlencoded"}}));
    }
}

TEST(Signing, UnsupportedMethodsAreRefused) {
    const std::pair<const char*, const char*> cases[] = {{"PUT", "PLAINTEXT"}, {"GET", "RSA-SHA1"}};
    for (const auto& [method, signature] : cases) {
        OAuthURLRequest builder("https://api.example.com/1/x");
        builder.setHTTPMethod(method);
        EXPECT_THROW(builder.urlRequestSignedWithSecret("s&", signature), OAuthException) << method;
        EXPECT_FALSE(builder.urlRequest());
    }
}

} // namespace
