#include "service_harness.h"

#include "oauth_keychain.h"
#include "oauth_url_request.h"

namespace servertest {
namespace fs = std::filesystem;

ServiceHarness::ServiceHarness(bool tls, const std::string& metadataUrl,
                               const std::string& publicUrl,
                               const std::function<void(server::ServerConfig&)>& configure)
    : ServiceHarness(testsupport::makeRootCA("mobrix-cloud test root"), tls, metadataUrl, publicUrl,
                     configure) {}

ServiceHarness::ServiceHarness(testsupport::TestCertificate root, bool tls,
                               const std::string& metadataUrl, const std::string& publicUrl,
                               const std::function<void(server::ServerConfig&)>& configure)
    : CloudTestService([&] {
          Options options;
          if (tls)
              options.serverCertificate = testsupport::issueServerCertificate(root);
          options.linkUserId.clear();
          options.signInAtOnce = false;
          options.configure = [=](server::ServerConfig& config) {
              if (!metadataUrl.empty())
                  config.metadata = metadataUrl;
              config.publicUrl = publicUrl;
              if (configure)
                  configure(config);
          };
          return options;
      }()),
      root_(std::move(root)) {
    started_ = start() && root_.writePem(caFile());
}

Token ServiceHarness::accessToken(std::int64_t uid) {
    auto token = issueAccessToken(std::to_string(uid));
    return {token.token, token.secret, uid};
}

std::unique_ptr<httplib::Client> ServiceHarness::client() const {
    auto c = std::make_unique<httplib::Client>(baseUrl());
    c->set_ca_cert_path(caFile().c_str());
    c->enable_server_certificate_verification(baseUrl().rfind("https", 0) == 0);
    c->set_connection_timeout(10);
    c->set_read_timeout(30);
    c->set_write_timeout(30);
    return c;
}

OAuthCredentialConcreteStore ServiceHarness::credentials(const servertest::Token* token,
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

namespace {

std::string pathAndQuery(const std::string& url) {
    return url.substr(url.find('/', url.find("://") + 3));
}

} // namespace

httplib::Result ServiceHarness::call(const servertest::Token& token, const std::string& method,
                                     const std::string& path, const Params& params,
                                     const std::string& signatureMethod) {
    auto store = credentials(token.token.empty() ? nullptr : &token, signatureMethod);
    URLRequestParameters list = store.oauthParameters();
    list.emplace_back("locale", "en");
    for (const auto& [name, value] : params)
        list.emplace_back(name, value);
    OAuthURLRequest builder(baseUrl() + path, list);
    builder.setHTTPMethod(method);
    CSSignedRequest request =
        builder.urlRequestSignedWithSecret(store.signingKey(), *store.signatureMethod());
    auto c = client();
    if (method == "GET")
        return c->Get(pathAndQuery(request.url).c_str());
    return c->Post(pathAndQuery(request.url).c_str(), request.body,
                   "application/x-www-form-urlencoded");
}

httplib::Result ServiceHarness::upload(const servertest::Token& token, const std::string& path,
                                       const std::string& body, const Params& params) {
    auto store = credentials(&token, "PLAINTEXT");
    URLRequestParameters list = store.oauthParameters();
    for (const auto& [name, value] : params)
        list.emplace_back(name, value);
    OAuthURLRequest builder(baseUrl() + path, list);
    builder.setHTTPMethod("POST");
    CSSignedRequest request =
        builder.uploadRequestSignedWithSecret(store.signingKey(), *store.signatureMethod());
    return client()->Post(pathAndQuery(request.url).c_str(), body, "application/octet-stream");
}

bool noScratchBodies(const std::filesystem::path& blobs) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(blobs / "tmp", ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && it->path().filename() != ".lock")
            return false;
    }
    return !ec;
}

std::string escapedPath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace servertest
