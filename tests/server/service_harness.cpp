#include "service_harness.h"

#include "oauth_keychain.h"
#include "oauth_url_request.h"
#include "secrets.h"

#include <cstdlib>

namespace servertest {
namespace fs = std::filesystem;

ServiceHarness::ServiceHarness(bool tls, const std::string& metadataUrl,
                               const std::string& publicUrl,
                               const std::function<void(server::ServerConfig&)>& configure)
    : tls_(tls) {
    char pattern[] = "/tmp/mobrix-cloud-test-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    root_ = testsupport::makeRootCA("mobrix-cloud test authority");
    auto server = testsupport::issueServerCertificate(root_);
    root_.writePem(caFile());
    server.writePem((folder_ / "server.pem").string());
    {
        std::FILE* key = std::fopen((folder_ / "server-key.pem").c_str(), "w");
        std::fputs(server.keyPem().c_str(), key);
        std::fclose(key);
    }
    server::ServerConfig config;
    config.listen = "127.0.0.1:0";
    if (tls) {
        config.tlsCertificate = (folder_ / "server.pem").string();
        config.tlsKey = (folder_ / "server-key.pem").string();
    }
    config.metadata =
        metadataUrl.empty() ? "sqlite:" + (folder_ / "metadata.db").string() : metadataUrl;
    config.blobs = "file:" + (folder_ / "blobs").string();
    config.uploads = (folder_ / "uploads").string();
    config.publicUrl = publicUrl;
    config.appKey = kAppKey;
    config.appSecret = kAppSecret;
    config.requestLog = (folder_ / "requests.log").string();
    config.threads = 8;
    if (configure)
        configure(config);
    service_ = std::make_unique<server::CloudService>(config);
    std::string error;
    started_ = service_->start(&error);
    if (!started_)
        return;
    store_ = server::openMetadataStore(config.metadata, &error);
    thread_ = std::thread([this] { service_->run(); });
}

ServiceHarness::~ServiceHarness() {
    service_->stop();
    if (thread_.joinable())
        thread_.join();
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

std::string ServiceHarness::baseUrl() const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port());
}

std::int64_t ServiceHarness::addAccount(const std::string& name, const std::string& password,
                                        std::int64_t quota) {
    server::Account account;
    account.name = name;
    account.displayName = "User " + name;
    account.email = name + "@home.test";
    account.passwordHash = server::hashPassword(password);
    account.quotaBytes = quota;
    store_->transact(
        [&](server::MetadataTxn& txn) {
            account.uid = txn.addAccount(account);
            return true;
        },
        nullptr);
    return account.uid;
}

Token ServiceHarness::accessToken(std::int64_t uid) {
    server::TokenRecord record{server::randomHex(16), server::randomHex(8) + "&+", uid,
                               server::TokenKind::Access, 0};
    store_->transact(
        [&](server::MetadataTxn& txn) {
            txn.putToken(record);
            return true;
        },
        nullptr);
    return {record.token, record.secret, uid};
}

std::unique_ptr<httplib::Client> ServiceHarness::client() const {
    auto c = std::make_unique<httplib::Client>(baseUrl());
    if (tls_) {
        c->set_ca_cert_path(caFile().c_str());
        c->enable_server_certificate_verification(true);
    }
    c->set_connection_timeout(10);
    c->set_read_timeout(30);
    c->set_write_timeout(30);
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

namespace {

std::string pathAndQuery(const std::string& url) {
    return url.substr(url.find('/', url.find("://") + 3));
}

} // namespace

httplib::Result ServiceHarness::call(const Token& token, const std::string& method,
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

httplib::Result ServiceHarness::upload(const Token& token, const std::string& path,
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
