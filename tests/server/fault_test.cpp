// Faults: cut uploads, two uploads of one path at once, the service killed
// outright in the middle of uploads, two processes on one body store.
#include "cs_query_string.h"
#include "cs_secret_fingerprint.h"
#include "file_blob_store.h"
#include "link_page.h"
#include "oauth_url_request.h"
#include "service_harness.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace servertest;
namespace fs = std::filesystem;

namespace {

// A body of `size` bytes that tells which upload wrote it.
std::string bodyOf(const std::string& name, std::size_t size) {
    std::string body;
    body.reserve(size);
    while (body.size() < size)
        body += name + ";";
    body.resize(size);
    return body;
}

// Sends a request head and only `sent` bytes of a body announced longer, then hangs up.
bool sendCutUpload(int port, const std::string& target, std::size_t announced,
                   const std::string& sent) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    BIO* bio = BIO_new_ssl_connect(ctx);
    BIO_set_conn_hostname(bio, ("127.0.0.1:" + std::to_string(port)).c_str());
    bool ok = BIO_do_connect(bio) == 1;
    const std::string head = "POST " + target +
                             " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                             "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                             std::to_string(announced) + "\r\n\r\n";
    ok = ok && BIO_write(bio, head.data(), static_cast<int>(head.size())) > 0 &&
         BIO_write(bio, sent.data(), static_cast<int>(sent.size())) > 0;
    BIO_flush(bio);
    BIO_free_all(bio);
    SSL_CTX_free(ctx);
    return ok;
}

std::string baseOf(int port) {
    return "https://127.0.0.1:" + std::to_string(port);
}

// A path and signed query on `base`, with a fresh nonce; an upload carries
// every parameter in the query.
std::string signedTarget(const std::string& base, const Token& token, const std::string& path,
                         bool upload = false) {
    auto store = ServiceHarness::credentials(&token, "PLAINTEXT");
    OAuthURLRequest builder(base + path, store.oauthParameters());
    builder.setHTTPMethod(upload ? "POST" : "GET");
    auto request = upload ? builder.uploadRequestSignedWithSecret(store.signingKey(), "PLAINTEXT")
                          : builder.urlRequestSignedWithSecret(store.signingKey(), "PLAINTEXT");
    return request.url.substr(base.size());
}

bool waitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 200; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return done();
}

} // namespace

TEST(ServiceFaults, ACutUploadLeavesNothingVisibleOrStored) {
    ServiceHarness service;
    ASSERT_TRUE(service.started());
    Token token = service.accessToken(service.addAccount("ann", "pw"));
    ASSERT_EQ(service.upload(token, "/1/files_put/cloud/keep.bin", "kept")->status, 200);
    ASSERT_TRUE(sendCutUpload(
        service.port(), signedTarget(service.baseUrl(), token, "/1/files_put/cloud/keep.bin", true),
        1 << 20, std::string(300000, 'x')));
    ASSERT_TRUE(sendCutUpload(
        service.port(), signedTarget(service.baseUrl(), token, "/1/files_put/cloud/new.bin", true),
        1 << 20, std::string(1000, 'y')));
    // The service notices the hang-up and throws its scratch copy away.
    EXPECT_TRUE(waitUntil([&] { return noScratchBodies(service.folder() / "blobs"); }));
    EXPECT_EQ(service.call(token, "GET", "/1/files/cloud/keep.bin")->body, "kept");
    EXPECT_EQ(service.call(token, "GET", "/1/metadata/cloud/new.bin")->status, 404);
}

TEST(ServiceFaults, TwoUploadsOfOnePathAtOnceLeaveOneWholeBody) {
    ServiceHarness service;
    ASSERT_TRUE(service.started());
    Token token = service.accessToken(service.addAccount("ann", "pw"));
    const std::string a = bodyOf("first", 3 << 20), b = bodyOf("second", 2 << 20);
    for (int round = 0; round < 3; ++round) {
        std::atomic<int> acknowledged{0};
        auto send = [&](const std::string& body) {
            auto r = service.upload(token, "/1/files_put/cloud/same.bin", body);
            if (r && r->status == 200)
                ++acknowledged;
            else
                ADD_FAILURE() << (r ? r->body : "no answer");
        };
        std::thread first(send, a), second(send, b);
        first.join();
        second.join();
        EXPECT_EQ(acknowledged, 2);
        auto down = service.call(token, "GET", "/1/files/cloud/same.bin");
        ASSERT_TRUE(down);
        EXPECT_TRUE(down->body == a || down->body == b) << "a mixed body of " << down->body.size();
    }
}

#ifdef MOBRIX_CLOUD_BINARY
namespace {

// mobrix-cloud serve as a child process; killed with SIGKILL when it goes.
class ServerProcess {
public:
    explicit ServerProcess(const fs::path& config) {
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::execl(MOBRIX_CLOUD_BINARY, "mobrix-cloud", "serve", "--config", config.c_str(),
                    nullptr);
            ::_exit(127);
        }
        ::close(out[1]);
        std::string text;
        char buffer[256];
        // The first line names the port.
        while (text.find('\n') == std::string::npos) {
            ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        auto colon = text.rfind(':');
        if (colon != std::string::npos)
            port_ = std::atoi(text.c_str() + colon + 1);
    }
    ~ServerProcess() { kill(SIGKILL); }
    int port() const { return port_; }
    int kill(int signal) {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

std::unique_ptr<httplib::Client> clientFor(int port, const fs::path& ca) {
    auto c = std::make_unique<httplib::Client>("https://127.0.0.1:" + std::to_string(port));
    c->set_ca_cert_path(ca.c_str());
    c->enable_server_certificate_verification(true);
    c->set_connection_timeout(5);
    c->set_read_timeout(20);
    return c;
}

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    if (pipe)
        ::pclose(pipe);
    return out;
}

// Links through the sign-in page and gives the token.
Token link(int port, const fs::path& ca, const std::string& password) {
    auto answer = clientFor(port, ca)->Post(
        "/1/connect_login",
        "k=" + std::string(kAppKey) + "&s=" + csSecretFingerprint(kAppSecret) +
            "&state=s1&name=ann&action=allow&password=" + password,
        "application/x-www-form-urlencoded");
    if (!answer)
        return {};
    const std::string location = answer->get_header_value("Location");
    auto values = dictionaryWithQueryString(location.substr(location.find('?') + 1));
    return {values["oauth_token"], values["oauth_token_secret"], std::atoll(values["uid"].c_str())};
}

httplib::Result getFrom(int port, const fs::path& ca, const Token& token, const std::string& path) {
    return clientFor(port, ca)->Get(signedTarget(baseOf(port), token, path).c_str());
}

// A data folder made by `mobrix-cloud init` with the account "ann"; gives its
// first password.
std::string initDataFolder(const fs::path& data) {
    const std::string binary = MOBRIX_CLOUD_BINARY;
    run(binary + " init " + data.string() + " --listen 127.0.0.1:0");
    const std::string added =
        run(binary + " user add ann --config " + (data / "mobrix-cloud.conf").string());
    auto at = added.find("First password: ");
    return at == std::string::npos ? std::string() : added.substr(at + 16, 20);
}

} // namespace

// Killed with uploads in flight, restarted: no acknowledged file lost, no
// partial one shown, and a request seen before the kill is not taken again.
TEST(ServiceFaults, AKilledServiceLosesNoAcknowledgedFileAndShowsNoPartialOne) {
    // Uploads in flight meet a dead peer: a failed request, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    char pattern[] = "/tmp/mobrix-cloud-kill-XXXXXX";
    const fs::path folder = ::mkdtemp(pattern);
    const fs::path data = folder / "data";
    const std::string password = initDataFolder(data);
    const fs::path config = data / "mobrix-cloud.conf", ca = data / "tls" / "ca.pem";

    std::set<std::string> acknowledged;
    std::mutex mutex;
    Token token;
    std::string captured; // a request signed once, replayed after the restart
    {
        ServerProcess server(config);
        ASSERT_GT(server.port(), 0);
        token = link(server.port(), ca, password);
        ASSERT_FALSE(token.token.empty());
        captured = signedTarget(baseOf(server.port()), token, "/1/account/info");
        ASSERT_EQ(clientFor(server.port(), ca)->Get(captured.c_str())->status, 200);
        std::atomic<bool> stop{false};
        std::vector<std::thread> senders;
        for (int t = 0; t < 4; ++t) {
            senders.emplace_back([&, t] {
                for (int i = 0; i < 200 && !stop; ++i) {
                    const std::string name = "/f" + std::to_string(t) + "-" + std::to_string(i);
                    auto r =
                        clientFor(server.port(), ca)
                            ->Post(signedTarget(baseOf(server.port()), token,
                                                "/1/files_put/cloud" + name, true),
                                   bodyOf(name, 200000 + 7919 * i), "application/octet-stream");
                    if (r && r->status == 200) {
                        std::lock_guard lock(mutex);
                        acknowledged.insert(name);
                    }
                }
            });
        }
        ASSERT_TRUE(waitUntil([&] {
            std::lock_guard lock(mutex);
            return acknowledged.size() >= 12;
        }));
        server.kill(SIGKILL);
        stop = true;
        for (auto& s : senders)
            s.join();
    }
    ServerProcess again(config);
    ASSERT_GT(again.port(), 0);
    auto replay = clientFor(again.port(), ca)->Get(captured.c_str());
    ASSERT_TRUE(replay);
    EXPECT_EQ(replay->status, 401);
    EXPECT_NE(errorOf(replay).find("nonce"), std::string::npos) << replay->body;
    for (const auto& name : acknowledged) {
        auto down = getFrom(again.port(), ca, token, "/1/files/cloud" + name);
        ASSERT_TRUE(down) << name;
        EXPECT_EQ(down->status, 200) << name;
        EXPECT_TRUE(down->body == bodyOf(name, down->body.size())) << name;
    }
    // Whatever is listed is whole, acknowledged or not.
    auto listing = metadataOf(getFrom(again.port(), ca, token, "/1/metadata/cloud/"));
    ASSERT_TRUE(listing && listing->contents());
    EXPECT_GE(listing->contents()->size(), acknowledged.size());
    for (const auto& entry : *listing->contents()) {
        auto down = getFrom(again.port(), ca, token, "/1/files/cloud" + *entry.path());
        ASSERT_TRUE(down);
        EXPECT_EQ(static_cast<std::int64_t>(down->body.size()), entry.totalBytes());
        EXPECT_TRUE(down->body == bodyOf(*entry.path(), down->body.size())) << *entry.path();
    }
    EXPECT_TRUE(noScratchBodies(data / "blobs"));
    // SIGTERM is a clean stop.
    const int status = again.kill(SIGTERM);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::error_code ec;
    fs::remove_all(folder, ec);
}
#endif

TEST(BodyStore, AProcessStartingBesideAnotherLeavesItsUnfinishedBodiesAlone) {
    char pattern[] = "/tmp/mobrix-blobs-XXXXXX";
    const fs::path folder = ::mkdtemp(pattern);
    std::string error;
    auto first = server::FileBlobStore::open(folder, &error);
    ASSERT_TRUE(first) << error;
    auto writer = first->create(&error);
    ASSERT_TRUE(writer && writer->write("half", 4));
    // A second process on the same folder, and a third after the second ended.
    auto second = server::FileBlobStore::open(folder, &error);
    ASSERT_TRUE(second) << error;
    second.reset();
    auto third = server::FileBlobStore::open(folder, &error);
    ASSERT_TRUE(writer->write(" and whole", 10));
    auto address = writer->commit(&error);
    ASSERT_TRUE(address) << error;
    auto reader = third->open(*address);
    ASSERT_TRUE(reader);
    char text[32] = {};
    EXPECT_EQ(reader->read(0, text, sizeof text), 14);
    EXPECT_STREQ(text, "half and whole");
    writer.reset();
    first.reset();
    third.reset();
    EXPECT_TRUE(noScratchBodies(folder));
    fs::remove_all(folder);
}
