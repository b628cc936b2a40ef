#include "cloud_test_service.h"

#include "blob_store.h"
#include "cloud_namespace.h"
#include "secrets.h"
#include "service_parts.h"

#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>

namespace testsupport {
namespace fs = std::filesystem;

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

void appendPairs(std::string_view text, Pairs& out) {
    while (!text.empty()) {
        const auto piece = text.substr(0, text.find('&'));
        const auto eq = piece.find('=');
        out.emplace_back(server::decodeFormValue(piece.substr(0, eq)),
                         eq == piece.npos ? "" : server::decodeFormValue(piece.substr(eq + 1)));
        text.remove_prefix(std::min(text.size(), piece.size() + 1));
    }
}

void sendJson(httplib::Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_content(body, "text/javascript");
}

bool isDownload(const httplib::Request& req) {
    return req.path.rfind("/1/files/", 0) == 0;
}

struct FaultRule {
    ServiceFault fault;
    std::string pathPart;
    int times;
    int after;
};

} // namespace

std::string RecordedRequest::param(const std::string& name) const {
    for (const auto& [k, v] : params)
        if (k == name)
            return v;
    return {};
}

bool RecordedRequest::hasParam(const std::string& name) const {
    return std::any_of(params.begin(), params.end(),
                       [&](const auto& p) { return p.first == name; });
}

struct CloudTestService::Impl {
    Options options;
    fs::path data;
    server::ServerConfig config;
    std::unique_ptr<server::CloudService> service;
    httplib::Server* http = nullptr;
    std::thread thread;
    int port = 0;
    std::unique_ptr<server::MetadataStore> metadata;
    std::unique_ptr<server::BlobStore> blobs;
    std::unique_ptr<server::CloudNamespace> files;
    std::int64_t uid = 0;
    std::string password = server::randomHex(8);

    mutable std::mutex mutex;
    std::vector<RecordedRequest> recorded;
    std::vector<std::string> received; // paths, as their bodies were read
    std::vector<FaultRule> faults;
    std::string redirectAuthority;

    explicit Impl(Options o) : options(std::move(o)) {}

    void transact(const std::function<void(server::MetadataTxn&)>& work) {
        metadata->transact(
            [&](server::MetadataTxn& txn) {
                work(txn);
                return true;
            },
            nullptr);
    }

    ServiceFault takeFault(const std::string& path) {
        std::lock_guard lock(mutex);
        for (auto it = faults.begin(); it != faults.end(); ++it) {
            if (path.find(it->pathPart) == std::string::npos)
                continue;
            if (it->after > 0) {
                --it->after;
                continue;
            }
            const ServiceFault f = it->fault;
            if (--it->times <= 0)
                faults.erase(it);
            return f;
        }
        return ServiceFault::None;
    }

    // Faults answered instead of the service; false for the others.
    bool answerInstead(ServiceFault f, const httplib::Request& req, httplib::Response& res) {
        static const std::map<ServiceFault, std::pair<int, std::string>> answers = {
            {ServiceFault::Status404, {404, R"({"error": "Path not found"})"}},
            {ServiceFault::Status500, {500, R"({"error": "Internal server error"})"}},
            {ServiceFault::Status507, {507, R"({"error": "Over quota"})"}},
            {ServiceFault::WrongShape, {200, "[1, 2, 3]"}},
            {ServiceFault::NotJson, {200, "<html>not json</html>"}}};
        if (auto it = answers.find(f); it != answers.end()) {
            sendJson(res, it->second.first, it->second.second);
        } else if (f == ServiceFault::RedirectOnce || f == ServiceFault::RedirectElsewhere) {
            std::string authority = "127.0.0.1:" + std::to_string(port);
            if (f == ServiceFault::RedirectElsewhere) {
                std::lock_guard lock(mutex);
                authority = redirectAuthority.empty() ? "localhost:" + std::to_string(port)
                                                      : redirectAuthority;
            }
            res.status = 307;
            res.set_header("Location", "https://" + authority + req.target);
        } else if (f == ServiceFault::CutConnection && !isDownload(req)) {
            res.status = 200;
            res.set_content_provider(
                1000, "text/javascript",
                [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
        } else {
            return false;
        }
        return true;
    }

    // Bends the framing of a download the service answered.
    static void bendDownload(ServiceFault f, httplib::Response& res) {
        if (res.status != 200 || !res.content_provider_)
            return;
        const auto provider = res.content_provider_;
        const std::size_t size = res.content_length_;
        if (f == ServiceFault::ShortBody || f == ServiceFault::CutConnection) {
            const std::size_t limit = f == ServiceFault::ShortBody ? size : size / 2;
            if (f == ServiceFault::ShortBody)
                res.content_length_ = size + 10;
            res.content_provider_ = [provider, limit](std::size_t offset, std::size_t length,
                                                      httplib::DataSink& sink) {
                return offset < limit && provider(offset, std::min(length, limit - offset), sink);
            };
            return;
        }
        if (f != ServiceFault::WrongSizeMetadata && f != ServiceFault::NoContentLength &&
            f != ServiceFault::NoSize)
            return;
        const std::string meta = res.get_header_value("X-Cloud-Metadata");
        res.headers.erase("X-Cloud-Metadata");
        if (f != ServiceFault::NoSize) {
            const std::size_t announced = size + (f == ServiceFault::WrongSizeMetadata ? 10 : 0);
            res.set_header("X-Cloud-Metadata",
                           std::regex_replace(meta, std::regex(R"("bytes": *[0-9]+)"),
                                              "\"bytes\": " + std::to_string(announced)));
        }
        auto offset = std::make_shared<std::size_t>(0);
        res.headers.erase("Content-Type");
        res.set_chunked_content_provider(
            "application/octet-stream",
            [provider, size, offset](std::size_t, httplib::DataSink& sink) {
                if (*offset >= size) {
                    sink.done();
                    return true;
                }
                httplib::DataSink counted;
                counted.write = [&](const char* data, std::size_t n) {
                    *offset += n;
                    return sink.write(data, n);
                };
                counted.is_writable = sink.is_writable;
                return provider(*offset, size - *offset, counted);
            });
    }

    void around(const httplib::Request& req, httplib::Response& res,
                const httplib::ContentReader* reader, const server::CloudService::Serve& serve) {
        RecordedRequest r;
        r.method = req.method;
        r.path = req.path;
        r.target = req.target;
        if (auto q = req.target.find('?'); q != std::string::npos)
            r.query = req.target.substr(q + 1);
        appendPairs(r.query, r.params);
        r.userAgent = req.get_header_value("User-Agent");
        r.contentType = req.get_header_value("Content-Type");
        const bool isForm = r.contentType.rfind("application/x-www-form-urlencoded", 0) == 0;
        std::optional<httplib::ContentReader> counted;
        if (reader) {
            counted.emplace(
                [&r, reader, isForm](httplib::ContentReceiver receive) {
                    return (*reader)([&](const char* data, std::size_t n) {
                        r.bodySize += n;
                        if (isForm)
                            r.body.append(data, n);
                        return receive(data, n);
                    });
                },
                reader->multipart_reader_);
        }
        const ServiceFault fault = takeFault(req.path);
        if (answerInstead(fault, req, res)) {
            if (counted)
                (*counted)([](const char*, std::size_t) { return true; });
        } else if (uid && req.method == "GET" && req.path == "/1/connect_login") {
            signIn(req, res, serve);
        } else {
            // A limit the test set on file sizes is meant for its client,
            // not for the service that runs in its process.
            struct rlimit limit {};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            const struct rlimit set = limit, open{limit.rlim_max, limit.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &open);
            serve(req, res, counted ? &*counted : nullptr);
            ::setrlimit(RLIMIT_FSIZE, &set);
            if (isDownload(req))
                bendDownload(fault, res);
        }
        appendPairs(r.body, r.params);
        {
            std::lock_guard lock(mutex);
            received.push_back(req.path);
        }
        if (fault == ServiceFault::Slow)
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        r.status = res.status;
        std::lock_guard lock(mutex);
        recorded.push_back(std::move(r));
    }

    // The page's form, sent as the account's owner would send it.
    void signIn(const httplib::Request& req, httplib::Response& res,
                const server::CloudService::Serve& serve) {
        httplib::Request post = req;
        post.method = "POST";
        post.set_header("Content-Type", "application/x-www-form-urlencoded");
        const std::string form = "name=user&action=allow&password=" + password;
        httplib::ContentReader reader(
            [&](httplib::ContentReceiver receive) { return receive(form.data(), form.size()); },
            {});
        serve(post, res, &reader);
    }

    std::optional<server::Entry> entry(const std::string& remote) {
        auto path = server::parseRemotePath(remote, nullptr);
        std::optional<server::Entry> found;
        if (path) {
            transact([&](server::MetadataTxn& txn) { found = txn.entry(uid, path->key); });
        }
        return found && !found->deleted ? found : std::nullopt;
    }

    // Stores a body and makes it visible at `remote`.
    bool put(const std::string& remote, std::istream& in) {
        auto path = server::parseRemotePath(remote, nullptr);
        auto writer = path ? blobs->create(nullptr) : nullptr;
        std::vector<char> buffer(1 << 20);
        while (writer && (in.read(buffer.data(), buffer.size()) || in.gcount() > 0))
            if (!writer->write(buffer.data(), static_cast<std::size_t>(in.gcount())))
                return false;
        auto address = writer ? writer->commit(nullptr) : std::nullopt;
        return address &&
               files->putFile(uid, *path, *address, static_cast<std::int64_t>(writer->size()), {})
                   .ok();
    }

    std::optional<std::string> read(const server::Entry& file) {
        auto body = file.isDir ? nullptr : blobs->open(file.blob);
        if (!body)
            return std::nullopt;
        std::string out(body->size(), '\0');
        for (std::size_t at = 0; at < out.size();) {
            long n = body->read(at, out.data() + at, out.size() - at);
            if (n <= 0)
                return std::nullopt;
            at += static_cast<std::size_t>(n);
        }
        return out;
    }

    void writeCertificate() {
        std::string pem = options.serverCertificate.pem();
        for (const auto& c : options.chain)
            pem += c.pem();
        std::ofstream(data / "server.pem") << pem;
        std::ofstream(data / "server-key.pem") << options.serverCertificate.keyPem();
        config.tlsCertificate = (data / "server.pem").string();
        config.tlsKey = (data / "server-key.pem").string();
    }

    // The account the link page and the issued tokens give, with the uid asked for.
    bool makeAccount() {
        uid = addAccount("user", password, std::int64_t{1} << 40);
        const std::int64_t wanted = std::stoll(options.linkUserId);
        if (uid != wanted && config.metadata.rfind("sqlite:", 0) == 0) {
            sqlite3* db = nullptr;
            const std::string sql = "UPDATE accounts SET uid = " + std::to_string(wanted) +
                                    " WHERE uid = " + std::to_string(uid);
            const bool ok = sqlite3_open(config.metadata.substr(7).c_str(), &db) == SQLITE_OK &&
                            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
            sqlite3_close(db);
            if (ok)
                uid = wanted;
        }
        return uid == wanted;
    }

    std::int64_t addAccount(const std::string& name, const std::string& pw, std::int64_t quota) {
        server::Account account{
            0, name, "Test User", name + "@cloud.example", server::hashPassword(pw), quota, 0};
        transact([&](server::MetadataTxn& txn) { account.uid = txn.addAccount(account); });
        return account.uid;
    }
};

CloudTestService::CloudTestService(Options options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

CloudTestService::~CloudTestService() {
    stop();
}

bool CloudTestService::start() {
    Impl& d = *impl_;
    std::string pattern = (fs::temp_directory_path() / "mobrix-cloud-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return false;
    d.data = pattern;
    auto& c = d.config;
    c.listen = "127.0.0.1:0";
    if (d.options.serverCertificate.cert)
        d.writeCertificate();
    c.metadata = "sqlite:" + (d.data / "metadata.db").string();
    c.blobs = "file:" + (d.data / "blobs").string();
    c.uploads = (d.data / "uploads").string();
    c.appKey = "q7w2k9x4m1z8r5t";
    c.appSecret = "h3n6p0v2c8j5y1f";
    c.requestLog = (d.data / "requests.log").string();
    c.threads = 8;
    c.collectInterval = 0;
    if (d.options.configure)
        d.options.configure(c);
    d.service = std::make_unique<server::CloudService>(c);
    d.service->setTestHooks(
        [&d](const httplib::Request& req, httplib::Response& res,
             const httplib::ContentReader* reader,
             const server::CloudService::Serve& serve) { d.around(req, res, reader, serve); },
        [&d](httplib::Server& server) {
            d.http = &server;
            server.set_keep_alive_timeout(2);
            server.set_read_timeout(10);
            server.set_write_timeout(10);
        });
    std::string error;
    if (!d.service->start(&error))
        return false;
    d.port = d.service->port();
    d.metadata = server::openMetadataStore(c.metadata, &error);
    d.blobs = server::openBlobStore(c.blobs, {c.s3AccessKey, c.s3SecretKey, c.s3CaFile, c.uploads},
                                    &error);
    if (!d.metadata || !d.blobs)
        return false;
    d.files = std::make_unique<server::CloudNamespace>(
        *d.metadata, [] { return static_cast<std::int64_t>(std::time(nullptr)); });
    if (!d.options.linkUserId.empty() && !d.makeAccount())
        return false;
    d.thread = std::thread([&d] { d.service->run(); });
    for (int i = 0; i < 400 && !d.http->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return d.http->is_running();
}

void CloudTestService::stop() {
    Impl& d = *impl_;
    if (d.service)
        d.service->stop();
    if (d.thread.joinable())
        d.thread.join();
    d.files.reset();
    d.blobs.reset();
    d.metadata.reset();
    d.service.reset();
    std::error_code ec;
    if (!d.data.empty())
        fs::remove_all(d.data, ec);
    d.data.clear();
}

std::uint16_t CloudTestService::port() const {
    return static_cast<std::uint16_t>(impl_->port);
}

std::string CloudTestService::baseUrl() const {
    return std::string(impl_->config.tlsCertificate.empty() ? "http" : "https") +
           "://127.0.0.1:" + std::to_string(impl_->port);
}

CloudTestService::Token CloudTestService::issueAccessToken(const std::string& uid) {
    server::TokenRecord record{"at" + server::randomHex(12), "as&" + server::randomHex(8) + "+",
                               std::stoll(uid), server::TokenKind::Access, 0};
    impl_->transact([&](server::MetadataTxn& txn) { txn.putToken(record); });
    return {record.token, record.secret, uid};
}

void CloudTestService::revokeTokens() {
    impl_->transact([&](server::MetadataTxn& txn) {
        for (const auto& account : txn.accounts())
            txn.deleteTokensOf(account.uid);
    });
}

std::int64_t CloudTestService::addAccount(const std::string& name, const std::string& password,
                                          std::int64_t quota) {
    return impl_->addAccount(name, password, quota);
}

void CloudTestService::injectFault(ServiceFault fault, std::string pathPart, int times, int after) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.push_back({fault, std::move(pathPart), times, after});
}

void CloudTestService::setRedirectAuthority(std::string authority) {
    std::lock_guard lock(impl_->mutex);
    impl_->redirectAuthority = std::move(authority);
}

int CloudTestService::receivedCount(const std::string& pathPart) const {
    std::lock_guard lock(impl_->mutex);
    return static_cast<int>(
        std::count_if(impl_->received.begin(), impl_->received.end(), [&](const std::string& path) {
            return path.find(pathPart) != std::string::npos;
        }));
}

std::vector<RecordedRequest> CloudTestService::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->recorded;
}

void CloudTestService::clearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->recorded.clear();
    impl_->received.clear();
}

bool CloudTestService::putFile(const std::string& remotePath, std::istream& body) {
    return impl_->put(remotePath, body);
}

bool CloudTestService::putFile(const std::string& remotePath, const std::string& body) {
    std::istringstream in(body);
    return putFile(remotePath, in);
}

std::optional<std::string> CloudTestService::readFile(const std::string& remotePath) const {
    auto file = impl_->entry(remotePath);
    return file ? impl_->read(*file) : std::nullopt;
}

std::vector<std::string> CloudTestService::tree() const {
    std::vector<server::Entry> live;
    impl_->transact([&](server::MetadataTxn& txn) { live = txn.subtree(impl_->uid, "/"); });
    std::vector<std::string> out;
    for (const auto& e : live)
        if (e.path != "/")
            out.push_back(e.path.substr(1) + (e.isDir ? "/" : ""));
    std::sort(out.begin(), out.end());
    return out;
}

server::CloudService& CloudTestService::cloud() {
    return *impl_->service;
}

const fs::path& CloudTestService::folder() const {
    return impl_->data;
}

} // namespace testsupport
