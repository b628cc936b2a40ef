// Faults: cut uploads, two uploads of one path at once, the service killed
// outright in the middle of uploads, two processes on one body store.
#include "file_blob_store.h"
#include "secrets.h"
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
    while (body.size() < size)
        body += name + ";";
    body.resize(size);
    return body;
}

// The path and signed query of a request on the service at `port`, with a fresh nonce.
std::string signedTarget(int port, const Token& token, const std::string& path,
                         bool upload = false) {
    auto store = ServiceHarness::credentials(&token, "PLAINTEXT");
    return ServiceHarness::target(
        ServiceHarness::sign(store, "https://127.0.0.1:" + std::to_string(port) + path,
                             upload ? "POST" : "GET", {}, upload));
}

// Sends a request head and only `sent` bytes of a body announced as 1 MiB, then hangs up.
bool sendCutUpload(int port, const std::string& target, const std::string& sent) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    BIO* bio = BIO_new_ssl_connect(ctx);
    BIO_set_conn_hostname(bio, ("127.0.0.1:" + std::to_string(port)).c_str());
    const std::string head = "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                             "Content-Type: application/octet-stream\r\n" +
                             "Content-Length: 1048576\r\n\r\n" + sent;
    const bool ok =
        BIO_do_connect(bio) == 1 && BIO_write(bio, head.data(), static_cast<int>(head.size())) > 0;
    BIO_flush(bio);
    BIO_free_all(bio);
    SSL_CTX_free(ctx);
    return ok;
}

bool waitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 200 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    return done();
}

} // namespace

TEST(ServiceFaults, ACutUploadLeavesNothingVisibleOrStored) {
    ServiceHarness service;
    ASSERT_TRUE(service.started());
    Token token = service.account("ann");
    ASSERT_EQ(service.upload(token, "/1/files_put/cloud/keep.bin", "kept")->status, 200);
    ASSERT_TRUE(sendCutUpload(
        service.port(), signedTarget(service.port(), token, "/1/files_put/cloud/keep.bin", true),
        std::string(300000, 'x')));
    ASSERT_TRUE(sendCutUpload(
        service.port(), signedTarget(service.port(), token, "/1/files_put/cloud/new.bin", true),
        std::string(1000, 'y')));
    // The service notices the hang-up and throws its scratch copy away.
    EXPECT_TRUE(waitUntil([&] { return noScratchBodies(service.folder() / "blobs"); }));
    EXPECT_EQ(service.call(token, "GET", "/1/files/cloud/keep.bin")->body, "kept");
    EXPECT_EQ(service.call(token, "GET", "/1/metadata/cloud/new.bin")->status, 404);
}

TEST(ServiceFaults, TwoUploadsOfOnePathAtOnceLeaveOneWholeBody) {
    ServiceHarness service;
    ASSERT_TRUE(service.started());
    Token token = service.account("ann");
    const std::string a = bodyOf("first", 3 << 20), b = bodyOf("second", 2 << 20);
    for (int round = 0; round < 3; ++round) {
        auto send = [&](const std::string& body) {
            auto r = service.upload(token, "/1/files_put/cloud/same.bin", body);
            EXPECT_TRUE(r && r->status == 200) << (r ? r->body : "no answer");
        };
        std::thread first(send, a), second(send, b);
        first.join();
        second.join();
        auto down = service.call(token, "GET", "/1/files/cloud/same.bin");
        ASSERT_TRUE(down);
        EXPECT_TRUE(down->body == a || down->body == b) << "a mixed body of " << down->body.size();
    }
}

#ifdef MOBRIX_CLOUD_BINARY
namespace {

// `mobrix-cloud serve` as a child process; killed with SIGKILL when it goes.
class ServerProcess {
public:
    explicit ServerProcess(const fs::path& config) {
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            ::dup2(::open("/dev/null", O_WRONLY), 2);
            ::execl(MOBRIX_CLOUD_BINARY, "mobrix-cloud", "serve", "--config", config.c_str(),
                    nullptr);
            ::_exit(127);
        }
        ::close(out[1]);
        // The first line names the port.
        std::string text;
        char c = 0;
        while (text.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1)
            text += c;
        ::close(out[0]);
        if (auto colon = text.rfind(':'); colon != std::string::npos)
            port = std::atoi(text.c_str() + colon + 1);
    }
    ~ServerProcess() { kill(SIGKILL); }
    int kill(int signal) {
        int status = -1;
        if (pid_ > 0 && ::kill(pid_, signal) == 0)
            ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    int port = 0;

private:
    pid_t pid_ = -1;
};

std::unique_ptr<httplib::Client> clientFor(int port, const fs::path& ca) {
    auto c = std::make_unique<httplib::Client>("https://127.0.0.1:" + std::to_string(port));
    c->set_ca_cert_path(ca.c_str());
    c->enable_server_certificate_verification(true);
    c->set_connection_timeout(5);
    c->set_read_timeout(20);
    return c;
}

httplib::Result getFrom(int port, const fs::path& ca, const Token& token, const std::string& path) {
    return clientFor(port, ca)->Get(signedTarget(port, token, path).c_str());
}

} // namespace

// Killed with uploads in flight, restarted: no acknowledged file lost, no
// partial one shown, and a request seen before the kill is not taken again.
TEST(ServiceFaults, AKilledServiceLosesNoAcknowledgedFileAndShowsNoPartialOne) {
    // Uploads in flight meet a dead peer: a failed request, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    char pattern[] = "/tmp/mobrix-cloud-kill-XXXXXX";
    const fs::path folder = ::mkdtemp(pattern), data = folder / "data";
    const fs::path config = data / "mobrix-cloud.conf", ca = data / "tls" / "ca.pem";
    ASSERT_EQ(std::system((std::string(MOBRIX_CLOUD_BINARY) + " init " + data.string() +
                           " --listen 127.0.0.1:0 >/dev/null")
                              .c_str()),
              0);
    // An account with a device link, put in the store before the service starts.
    const Token token{"at" + server::randomHex(12), "as" + server::randomHex(8), "1"};
    {
        auto store =
            server::openMetadataStore("sqlite:" + (data / "metadata.db").string(), nullptr);
        ASSERT_TRUE(store);
        store->transact(
            [&](server::MetadataTxn& txn) {
                const auto uid = txn.addAccount({0, "ann", "Ann", "", "x", 1L << 40, 0});
                txn.putToken({token.token, token.secret, uid, server::TokenKind::Access, 0});
                return true;
            },
            nullptr);
    }
    std::set<std::string> acknowledged;
    std::mutex mutex;
    std::string captured; // a request signed once, replayed after the restart
    {
        ServerProcess server(config);
        ASSERT_GT(server.port, 0);
        captured = signedTarget(server.port, token, "/1/account/info");
        ASSERT_EQ(clientFor(server.port, ca)->Get(captured.c_str())->status, 200);
        std::atomic<bool> stop{false};
        std::vector<std::thread> senders;
        for (int t = 0; t < 4; ++t) {
            senders.emplace_back([&, t] {
                for (int i = 0; i < 200 && !stop; ++i) {
                    const std::string name = "/f" + std::to_string(t) + "-" + std::to_string(i);
                    auto r =
                        clientFor(server.port, ca)
                            ->Post(
                                signedTarget(server.port, token, "/1/files_put/cloud" + name, true),
                                bodyOf(name, 200000 + 7919 * i), "application/octet-stream");
                    std::lock_guard lock(mutex);
                    if (r && r->status == 200)
                        acknowledged.insert(name);
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
    ASSERT_GT(again.port, 0);
    auto replay = clientFor(again.port, ca)->Get(captured.c_str());
    ASSERT_TRUE(replay);
    EXPECT_EQ(replay->status, 401);
    EXPECT_NE(errorOf(replay).find("nonce"), std::string::npos) << replay->body;
    // Every acknowledged file is there, and whatever is listed is whole.
    auto listing = metadataOf(getFrom(again.port, ca, token, "/1/metadata/cloud/"));
    ASSERT_TRUE(listing && listing->contents());
    std::set<std::string> listed;
    for (const auto& entry : *listing->contents()) {
        auto down = getFrom(again.port, ca, token, "/1/files/cloud" + *entry.path());
        ASSERT_TRUE(down);
        EXPECT_EQ(static_cast<std::int64_t>(down->body.size()), entry.totalBytes());
        EXPECT_TRUE(down->body == bodyOf(*entry.path(), down->body.size())) << *entry.path();
        listed.insert(*entry.path());
    }
    for (const auto& name : acknowledged)
        EXPECT_TRUE(listed.count(name)) << name;
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
    server::FileBlobStore::open(folder, &error).reset();
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
