#include "service_harness.h"

#include "oauth_keychain.h"
#include "oauth_url_request.h"

namespace servertest {
namespace fs = std::filesystem;

namespace {

const testsupport::TestCertificate& testRoot() {
    static const auto root = testsupport::makeRootCA("mobrix-cloud test root");
    return root;
}

} // namespace

ServiceHarness::ServiceHarness(bool tls, std::function<void(server::ServerConfig&)> configure)
    : CloudTestService([&] {
          Options options;
          if (tls)
              options.serverCertificate = testsupport::issueServerCertificate(testRoot());
          options.linkUserId.clear();
          options.configure = std::move(configure);
          return options;
      }()) {
    started_ = start() && testRoot().writePem(caFile());
}

Token ServiceHarness::account(const std::string& name, std::int64_t quota) {
    return issueAccessToken(std::to_string(addAccount(name, "pw", quota)));
}

std::unique_ptr<httplib::Client> ServiceHarness::client() const {
    auto c = std::make_unique<httplib::Client>(baseUrl());
    c->set_ca_cert_path(caFile().c_str());
    c->enable_server_certificate_verification(baseUrl().rfind("https", 0) == 0);
    c->set_connection_timeout(10);
    c->set_read_timeout(30);
    return c;
}

OAuthCredentialConcreteStore ServiceHarness::credentials(const Token* token,
                                                         const std::string& signatureMethod) {
    OAuthCredentialConcreteStore store({{kOAuthCredentialConsumerKey, kAppKey},
                                        {kOAuthCredentialConsumerSecret, kAppSecret},
                                        {kOAuthSignatureMethod, signatureMethod}},
                                       std::make_shared<OAuthMemoryKeychain>());
    if (token) {
        store.setAccessToken(token->token);
        store.setAccessTokenSecret(token->secret);
    }
    return store;
}

CSSignedRequest ServiceHarness::sign(OAuthCredentialConcreteStore& store, const std::string& url,
                                     const std::string& method, const Params& params, bool upload) {
    URLRequestParameters list = store.oauthParameters();
    list.emplace_back("locale", "en");
    for (const auto& [name, value] : params)
        list.emplace_back(name, value);
    OAuthURLRequest builder(url, list);
    builder.setHTTPMethod(method);
    return upload
               ? builder.uploadRequestSignedWithSecret(store.signingKey(), *store.signatureMethod())
               : builder.urlRequestSignedWithSecret(store.signingKey(), *store.signatureMethod());
}

std::string ServiceHarness::target(const CSSignedRequest& request) {
    return request.url.substr(request.url.find('/', request.url.find("://") + 3));
}

httplib::Result ServiceHarness::call(const Token& token, const std::string& method,
                                     const std::string& path, const Params& params,
                                     const std::string& signatureMethod) {
    auto store = credentials(token.token.empty() ? nullptr : &token, signatureMethod);
    const CSSignedRequest request = sign(store, baseUrl() + path, method, params);
    if (method == "GET")
        return client()->Get(target(request).c_str());
    return client()->Post(target(request).c_str(), request.body,
                          "application/x-www-form-urlencoded");
}

httplib::Result ServiceHarness::upload(const Token& token, const std::string& path,
                                       const std::string& body, const Params& params) {
    auto store = credentials(&token, "PLAINTEXT");
    return client()->Post(target(sign(store, baseUrl() + path, "POST", params, true)).c_str(), body,
                          "application/octet-stream");
}

bool noScratchBodies(const fs::path& blobs) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(blobs / "tmp", ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && it->path().filename() != ".lock")
            return false;
    }
    return !ec;
}

} // namespace servertest
