// The request engine against the local service: downloads through a
// temporary file, error shapes, cancel, redirects and the size bounds.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "cs_download_file.h"
#include "cs_network_activity.h"
#include "cs_request.h"
#include "cs_trust.h"
#include "local_cloud.h"
#include "log_capture.h"
#include "oauth_credential_concrete_store.h"
#include "oauth_url_request.h"
#include "private_home.h"
#include "qt_wait.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

std::set<std::string> filesIn(const fs::path& dir) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        out.insert(e.path().filename().string());
    return out;
}

class CountingObserver : public CSNetworkRequestDelegate {
public:
    void networkRequestStarted() override { ++started; }
    void networkRequestStopped() override { ++stopped; }
    int started = 0;
    int stopped = 0;
};

using Configure = std::function<void(CSRequest&)>;

class RequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cloud.started());
        const auto token = cloud.service().issueAccessToken("1001");
        store.setAccessToken(token.token);
        store.setAccessTokenSecret(token.secret);
    }

    // Idle connections would keep the service's workers waiting at shutdown.
    void TearDown() override { CSCloseIdleConnections(); }

    // Signed the way the REST client signs; the method "upload" is a POST of a file.
    CSSignedRequest sign(const std::string& path, const std::string& method = "GET",
                         URLParameterPairs params = {}) {
        URLRequestParameters list = store.oauthParameters();
        for (auto& p : URLRequestParameter::parametersFromDictionary(params))
            list.push_back(p);
        OAuthURLRequest builder(cloud.service().baseUrl() + "/1" + path, list);
        builder.setHTTPMethod(method == "upload" ? "POST" : method);
        return method == "upload"
                   ? builder.uploadRequestSignedWithSecret(store.signingKey(), "PLAINTEXT")
                   : builder.urlRequestSignedWithSecret(store.signingKey(), "PLAINTEXT");
    }

    std::unique_ptr<CSRequest> make(CSSignedRequest request, CSRequest::Callback done,
                                    CSNetworkRequestDelegate* observer = nullptr) {
        return std::make_unique<CSRequest>(std::move(request), std::move(done),
                                           cloud.client().endpoints, observer);
    }

    // Runs one request to its end; the completion count must come to exactly one.
    std::unique_ptr<CSRequest> run(CSSignedRequest signedRequest, const Configure& setup = {}) {
        int completions = 0;
        auto request = make(std::move(signedRequest), [&](CSRequest*) { ++completions; });
        request->setUserInfo(CSJsonValue::object({{"path", "/the/path"}}));
        if (setup)
            setup(*request);
        EXPECT_TRUE(waitUntil([&] { return completions > 0; }));
        runEventsFor(30);
        EXPECT_EQ(completions, 1);
        return request;
    }
    std::unique_ptr<CSRequest> download(const std::string& remote, const std::string& name,
                                        const Configure& more = {}) {
        return run(sign("/files/cloud" + remote), [&](CSRequest& q) {
            q.setResultFilename((local / name).string());
            if (more)
                more(q);
        });
    }
    std::unique_ptr<CSRequest> upload(const std::string& remote, const fs::path& source,
                                      const Configure& more = {}) {
        return run(sign("/files_put/cloud" + remote, "upload"), [&](CSRequest& q) {
            q.setSourcePath(source.string());
            if (more)
                more(q);
        });
    }

    // Runs a request that must fail so; its error keeps the request's own information.
    CSError failure(std::unique_ptr<CSRequest> r, const char* domain, long code) {
        if (!r->error()) {
            ADD_FAILURE() << "no error";
            return {};
        }
        EXPECT_TRUE(r->error()->is(domain, code)) << r->error()->description();
        EXPECT_EQ(r->error()->infoString("path"), "/the/path");
        return *r->error();
    }

    PrivateHome env;
    fs::path local = env.makeFolder("local");
    LocalCloud cloud;
    OAuthCredentialConcreteStore store{{{kOAuthCredentialConsumerKey, "q7w2k9x4m1z8r5t"},
                                        {kOAuthCredentialConsumerSecret, "h3n6p0v2c8j5y1f"},
                                        {kOAuthSignatureMethod, "PLAINTEXT"}},
                                       std::make_shared<OAuthMemoryKeychain>()};
};

TEST_F(RequestTest, DownloadReplacesTheDestinationAtomically) {
    const std::string body(300000, 'x');
    ASSERT_TRUE(cloud.service().putFile("/dir/file.bin", body));
    for (ServiceFault fault : {ServiceFault::None, ServiceFault::NoContentLength}) {
        SCOPED_TRACE(fault == ServiceFault::None ? "sized" : "size from the metadata only");
        writeFile(local / "file.bin", "old contents");
        struct stat before {
        }, after{};
        ::stat((local / "file.bin").c_str(), &before);
        cloud.service().injectFault(fault, "/files/");
        double last = 0;
        auto r = download("/dir/file.bin", "file.bin", [&](CSRequest& q) {
            q.setDownloadProgressSelector([&](CSRequest* p) { last = p->downloadProgress(); });
        });
        ASSERT_FALSE(r->error()) << r->error()->description();
        EXPECT_EQ(readFile(local / "file.bin"), body);
        EXPECT_TRUE(r->resultData().empty()) << "a downloaded file is never held in memory";
        EXPECT_EQ(filesIn(local), std::set<std::string>{"file.bin"});
        ::stat((local / "file.bin").c_str(), &after);
        EXPECT_NE(before.st_ino, after.st_ino) << "replaced by rename, not rewritten in place";
        EXPECT_EQ(after.st_mode & 0777, 0600u);
        EXPECT_DOUBLE_EQ(last, 1.0);
        EXPECT_EQ(r->response().headerValue("content-type"), "application/octet-stream");
        EXPECT_EQ(r->xCloudMetadataJSON()->find("bytes")->asInt64(), 300000);
    }
}

TEST_F(RequestTest, FailedDownloadsLeaveTheDestinationAlone) {
    ASSERT_TRUE(cloud.service().putFile("/f.bin", std::string(200000, 'y')));
    struct Case {
        ServiceFault fault;
        const char* remote;
        const char* domain;
        long code;
    };
    for (const Case& c : {
             Case{ServiceFault::None, "/missing.bin", CSErrorDomain, 404},
             Case{ServiceFault::Status404, "/f.bin", CSErrorDomain, 404},
             Case{ServiceFault::ShortBody, "/f.bin", CSNetworkErrorDomain,
                  CSNetworkErrorRemoteHostClosed},
             Case{ServiceFault::CutConnection, "/f.bin", CSNetworkErrorDomain,
                  CSNetworkErrorRemoteHostClosed},
             // A size announced in the metadata but not delivered.
             Case{ServiceFault::WrongSizeMetadata, "/f.bin", CSErrorDomain, CSErrorGenericError},
         }) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        writeFile(local / "f.bin", "keep me");
        cloud.service().injectFault(c.fault, "/files/");
        const CSError e = failure(download(c.remote, "f.bin"), c.domain, c.code);
        if (c.fault == ServiceFault::None) {
            EXPECT_EQ(e.infoString("error"), "File '/missing.bin' not found")
                << "the body joins the information";
        }
        EXPECT_EQ(readFile(local / "f.bin"), "keep me");
        EXPECT_EQ(filesIn(local), std::set<std::string>{"f.bin"});
    }
}

TEST_F(RequestTest, OtherErrorShapes) {
    cloud.service().injectFault(ServiceFault::Status507, "/account/");
    EXPECT_EQ(failure(run(sign("/account/info")), CSErrorDomain, 507).infoString("error"),
              "Over quota");
    // The timeout counts time without progress.
    cloud.service().injectFault(ServiceFault::Slow, "/account/");
    failure(run(sign("/account/info"), [](CSRequest& q) { q.setTimeoutInterval(0.3); }),
            CSNetworkErrorDomain, CSNetworkErrorTimeout);
}

TEST_F(RequestTest, NotModifiedLogsNothing) {
    ASSERT_TRUE(cloud.service().putFile("/d/f", "x"));
    auto r = run(sign("/metadata/cloud/d"));
    ASSERT_TRUE(r->parseResponseAsType(CSJsonKind::dictionary));
    const std::string hash = r->resultJSON()->find("hash")->asString();
    LogCapture log;
    failure(run(sign("/metadata/cloud/d", "GET", {{"hash", hash}})), CSErrorDomain, 304);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(RequestTest, LogLinesNameThePathOnly) {
    cloud.service().injectFault(ServiceFault::Status500, "/metadata/");
    LogCapture log;
    run(sign("/metadata/cloud/a%20b"));
    EXPECT_EQ(log.lines, std::vector<std::string>{"[WARNING] CloudSDK: error making request to "
                                                  "/1/metadata/cloud/a b - (500) Internal server "
                                                  "error"});
}

TEST_F(RequestTest, DownloadsStopWhenTheDiskIsFull) {
    ASSERT_TRUE(cloud.service().putFile("/big.bin", std::string(3 << 20, 'b')));
    {
        SCOPED_TRACE("a failed write");
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit old {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit small = old;
        small.rlim_cur = 64 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &small);
        auto r = download("/big.bin", "big.bin");
        ::setrlimit(RLIMIT_FSIZE, &old);
        failure(std::move(r), CSErrorDomain, CSErrorInsufficientDiskSpace);
        EXPECT_TRUE(filesIn(local).empty());
    }
    // A file system with 1 MiB free: a tmpfs of this process's own on the download folder.
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", local.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no private mount namespace for a small file system";
    for (ServiceFault fault : {ServiceFault::NoSize, ServiceFault::None}) {
        SCOPED_TRACE(fault == ServiceFault::NoSize ? "no size announced" : "size announced");
        writeFile(local / "big.bin", "keep me");
        cloud.service().injectFault(fault, "/files/");
        failure(download("/big.bin", "big.bin"), CSErrorDomain, CSErrorInsufficientDiskSpace);
        EXPECT_EQ(readFile(local / "big.bin"), "keep me");
        EXPECT_EQ(filesIn(local), std::set<std::string>{"big.bin"});
    }
    ASSERT_EQ(::umount2(local.c_str(), MNT_DETACH), 0);
    cloud.service().injectFault(ServiceFault::NoSize, "/files/");
    ASSERT_FALSE(download("/big.bin", "big.bin")->error());
    EXPECT_EQ(fs::file_size(local / "big.bin"), 3u << 20);
}

// Cancelling or destroying a request from its own progress call makes no
// completion call and leaves no temporary file.
TEST_F(RequestTest, CancelOrDestroyFromAProgressCall) {
    ASSERT_TRUE(cloud.service().putFile("/big.bin", std::string(8 << 20, 'd')));
    writeFile(local / "up.bin", std::string(8 << 20, 'u'));
    for (const char* mode : {"cancel a download", "destroy a download", "destroy an upload"}) {
        SCOPED_TRACE(mode);
        const bool isUpload = std::string_view(mode).ends_with("upload");
        CountingObserver observer;
        int calls = 0;
        bool stopped = false;
        auto request = make(
            isUpload ? sign("/files_put/cloud/up.bin", "upload") : sign("/files/cloud/big.bin"),
            [&](CSRequest*) { ++calls; }, &observer);
        const CSRequest::Callback stop = [&](CSRequest* q) {
            if (stopped)
                return;
            stopped = true;
            if (mode[0] == 'c') {
                EXPECT_EQ(filesIn(local).size(), 2u) << "the temporary file is beside the target";
                q->cancel();
            } else {
                request.reset();
            }
        };
        if (isUpload) {
            request->setSourcePath((local / "up.bin").string());
            request->setUploadProgressSelector(stop);
        } else {
            request->setResultFilename((local / "down.bin").string());
            request->setDownloadProgressSelector(stop);
        }
        ASSERT_TRUE(waitUntil([&] { return stopped; }));
        runEventsFor(200);
        EXPECT_EQ(calls, 0);
        EXPECT_EQ(filesIn(local), std::set<std::string>{"up.bin"});
        EXPECT_EQ(observer.started, 1);
        EXPECT_EQ(observer.stopped, 1);
    }
}

TEST_F(RequestTest, RedirectsNeverLeaveTheRequestsServer) {
    // A second server the first one's certificate authority also vouches for.
    CloudTestService::Options options;
    options.serverCertificate = issueServerCertificate(cloud.root());
    CloudTestService other(options);
    ASSERT_TRUE(other.start());
    const std::string body(500000, 'u');
    writeFile(local / "up.bin", body);
    {
        SCOPED_TRACE("307 of an upload to another host name of the same machine");
        cloud.service().injectFault(ServiceFault::RedirectElsewhere, "/files_put/");
        failure(upload("/dest/up.bin", local / "up.bin"), CSErrorDomain, 307);
        EXPECT_EQ(cloud.service().requests().size(), 1u) << "the body went out once only";
        failure(run(sign("/metadata/cloud/dest/up.bin")), CSErrorDomain, 404);
    }
    {
        SCOPED_TRACE("307 of a form body to another port");
        cloud.service().clearRequests();
        cloud.service().setRedirectAuthority("127.0.0.1:" + std::to_string(other.port()));
        cloud.service().injectFault(ServiceFault::RedirectElsewhere, "/fileops/");
        failure(run(sign("/fileops/create_folder", "POST", {{"root", "cloud"}, {"path", "/m"}})),
                CSErrorDomain, 307);
        EXPECT_EQ(cloud.service().requests().size(), 1u);
        EXPECT_TRUE(other.requests().empty()) << "nothing reached the other server";
    }
    {
        SCOPED_TRACE("the same server is followed, the body sent again, but not forever");
        cloud.service().clearRequests();
        cloud.service().injectFault(ServiceFault::RedirectOnce, "/files_put/");
        double last = 0;
        auto r = upload("/dest/up.bin", local / "up.bin", [&](CSRequest& q) {
            q.setUploadProgressSelector([&](CSRequest* p) { last = p->uploadProgress(); });
        });
        ASSERT_FALSE(r->error()) << r->error()->description();
        EXPECT_DOUBLE_EQ(last, 1.0);
        const auto recorded = cloud.service().requests();
        ASSERT_EQ(recorded.size(), 2u);
        EXPECT_EQ(recorded[0].status, 307);
        EXPECT_EQ(recorded[1].bodySize, body.size());
        EXPECT_EQ(cloud.service().readFile("/dest/up.bin"), body);
        cloud.service().clearRequests();
        cloud.service().injectFault(ServiceFault::RedirectOnce, "/account/", 10);
        failure(run(sign("/account/info")), CSErrorDomain, 307);
        EXPECT_EQ(cloud.service().requests().size(), 1u + CSRequest::kMaxRedirects);
    }
    other.stop();
}

TEST_F(RequestTest, AnAnswerKeptInMemoryIsCappedNotTruncated) {
    const std::size_t cap = CSRequest::kMaxBodyInMemory;
    ASSERT_TRUE(cloud.service().putFile("/huge.json", std::string(cap + 1, ' ')));
    ASSERT_TRUE(cloud.service().putFile("/fits.json", std::string(cap, ' ')));
    auto over = run(sign("/files/cloud/huge.json"));
    EXPECT_LE(over->resultData().size(), cap);
    failure(std::move(over), CSErrorDomain, CSErrorInvalidResponse);
    auto fits = run(sign("/files/cloud/fits.json"));
    ASSERT_FALSE(fits->error()) << fits->error()->description();
    EXPECT_EQ(fits->resultData().size(), cap);
}

} // namespace
