// The request engine against the local service: downloads through a
// temporary file, error shapes, faults, cancel, timeout, body restart.
#include "log_capture.h"
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "cs_download_file.h"
#include "cs_log.h"
#include "cs_network_activity.h"
#include "cs_request.h"
#include "cs_trust.h"
#include "local_cloud.h"
#include "private_home.h"
#include "qt_wait.h"
#include "signing_helper.h"

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
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

// Files in a folder other than the given names.
std::vector<std::string> strayFiles(const fs::path& dir, const std::set<std::string>& expected) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (!expected.count(e.path().filename().string()))
            out.push_back(e.path().filename().string());
    }
    return out;
}

class CountingObserver : public CSNetworkRequestDelegate {
public:
    void networkRequestStarted() override { ++started; }
    void networkRequestStopped() override { ++stopped; }
    int started = 0;
    int stopped = 0;
};

class RequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cloud.started());
        token = cloud.service().issueAccessToken("1001");
        store =
            std::make_unique<OAuthCredentialConcreteStore>(makeStore(token.token, token.secret));
    }

    // Idle connections would keep the service's workers waiting at shutdown.
    void TearDown() override { CSCloseIdleConnections(); }

    std::string url(const std::string& path) { return cloud.service().baseUrl() + "/1" + path; }
    const CSServiceEndpoints& endpoints() { return cloud.client().endpoints; }

    // Runs one request to its end; the completion count must come to exactly one.
    std::unique_ptr<CSRequest> run(CSSignedRequest signedRequest,
                                   const std::function<void(CSRequest&)>& setup = {}) {
        completions = 0;
        auto request = std::make_unique<CSRequest>(
            std::move(signedRequest), [this](CSRequest*) { ++completions; }, endpoints());
        request->setUserInfo(CSJsonValue::object({{"path", "/the/path"}}));
        if (setup)
            setup(*request);
        EXPECT_TRUE(waitUntil([&] { return completions > 0; }));
        runEventsFor(30);
        EXPECT_EQ(completions, 1);
        return request;
    }

    PrivateHome env;
    fs::path storage = env.makeFolder("account");
    fs::path local = env.makeFolder("local");
    LocalCloud cloud{storage};
    CloudTestService::Token token;
    std::unique_ptr<OAuthCredentialConcreteStore> store;
    int completions = 0;
};

TEST_F(RequestTest, DownloadReplacesTheDestinationAtomicallyAndLeavesNoTemporaryFile) {
    const std::string body(300000, 'x');
    writeFile(storage / "dir/file.bin", body);
    writeFile(local / "file.bin", "old contents");
    struct stat before {};
    ::stat((local / "file.bin").c_str(), &before);

    std::vector<double> progress;
    auto r = run(signedRequest(*store, url("/files/cloud/dir/file.bin")), [&](CSRequest& req) {
        req.setResultFilename((local / "file.bin").string());
        req.setDownloadProgressSelector(
            [&](CSRequest* q) { progress.push_back(q->downloadProgress()); });
    });
    ASSERT_FALSE(r->error()) << r->error()->description();
    EXPECT_EQ(r->statusCode(), 200);
    EXPECT_EQ(readFile(local / "file.bin"), body);
    EXPECT_TRUE(r->resultData().empty()) << "a downloaded file is never held in memory";
    EXPECT_TRUE(strayFiles(local, {"file.bin"}).empty());
    struct stat after {};
    ::stat((local / "file.bin").c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino) << "replaced by rename, not rewritten in place";
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    ASSERT_FALSE(progress.empty());
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);
    EXPECT_EQ(r->response().headerValue("content-type").value_or(""), "application/octet-stream");
    EXPECT_TRUE(r->response().headerValue("Etag").has_value());
    ASSERT_TRUE(r->xCloudMetadataJSON());
    EXPECT_EQ(r->xCloudMetadataJSON()->find("bytes")->asInt64(), 300000);
    EXPECT_EQ(r->responseBodySize(), 300000);
}

TEST_F(RequestTest, FailedDownloadsLeaveTheDestinationUntouchedAndNoTemporaryFile) {
    writeFile(storage / "f.bin", std::string(200000, 'y'));
    struct Case {
        ServiceFault fault;
        const char* name;
    };
    for (Case c :
         {Case{ServiceFault::Status404, "404"}, Case{ServiceFault::ShortBody, "short body"},
          Case{ServiceFault::CutConnection, "cut"},
          Case{ServiceFault::WrongSizeMetadata, "wrong size"}}) {
        SCOPED_TRACE(c.name);
        writeFile(local / "f.bin", "keep me");
        cloud.service().injectFault(c.fault, "/files/");
        auto r = run(signedRequest(*store, url("/files/cloud/f.bin")),
                     [&](CSRequest& req) { req.setResultFilename((local / "f.bin").string()); });
        ASSERT_TRUE(r->error());
        EXPECT_EQ(readFile(local / "f.bin"), "keep me");
        EXPECT_TRUE(strayFiles(local, {"f.bin"}).empty());
        EXPECT_EQ(r->error()->infoString("path"), "/the/path")
            << "the request's own information is kept";
    }
}

TEST_F(RequestTest, ErrorShapes) {
    writeFile(storage / "f.bin", std::string(1000, 'y'));
    {
        SCOPED_TRACE("404 body entries join the request information");
        auto r = run(signedRequest(*store, url("/files/cloud/missing.bin")), [&](CSRequest& req) {
            req.setResultFilename((local / "missing.bin").string());
        });
        ASSERT_TRUE(r->error());
        EXPECT_EQ(r->error()->domain, CSErrorDomain);
        EXPECT_EQ(r->error()->code, 404);
        EXPECT_EQ(r->error()->infoString("error"), "File '/missing.bin' not found");
        EXPECT_EQ(r->error()->infoString("path"), "/the/path");
        EXPECT_FALSE(fs::exists(local / "missing.bin"));
    }
    {
        SCOPED_TRACE("a size announced in the metadata but not delivered is code 1000");
        cloud.service().injectFault(ServiceFault::WrongSizeMetadata, "/files/");
        auto r = run(signedRequest(*store, url("/files/cloud/f.bin")),
                     [&](CSRequest& req) { req.setResultFilename((local / "f.bin").string()); });
        ASSERT_TRUE(r->error());
        EXPECT_TRUE(r->error()->is(CSErrorDomain, CSErrorGenericError));
    }
    {
        SCOPED_TRACE("a cut connection keeps the transport's domain");
        cloud.service().injectFault(ServiceFault::CutConnection, "/files/");
        auto r = run(signedRequest(*store, url("/files/cloud/f.bin")),
                     [&](CSRequest& req) { req.setResultFilename((local / "f.bin").string()); });
        ASSERT_TRUE(r->error());
        EXPECT_EQ(r->error()->domain, CSNetworkErrorDomain);
        EXPECT_EQ(r->downloadProgress(), 0);
    }
    {
        SCOPED_TRACE("an upload whose file is gone keeps the file system's error");
        auto r = run(signedUpload(*store, url("/files_put/cloud/gone.bin")),
                     [&](CSRequest& req) { req.setSourcePath((local / "gone.bin").string()); });
        ASSERT_TRUE(r->error());
        EXPECT_TRUE(r->error()->is(CSPOSIXErrorDomain, ENOENT));
        EXPECT_EQ(r->error()->infoString("path"), "/the/path");
    }
    {
        SCOPED_TRACE("507 on an ordinary request");
        cloud.service().injectFault(ServiceFault::Status507, "/account/");
        auto r = run(signedRequest(*store, url("/account/info")));
        ASSERT_TRUE(r->error());
        EXPECT_EQ(r->error()->code, 507);
        EXPECT_EQ(r->error()->infoString("error"), "Over quota");
    }
}

TEST_F(RequestTest, DownloadWithoutContentLengthTakesItsSizeFromTheMetadata) {
    writeFile(storage / "f.bin", std::string(100000, 'z'));
    cloud.service().injectFault(ServiceFault::NoContentLength, "/files/");
    double last = 0;
    auto r = run(signedRequest(*store, url("/files/cloud/f.bin")), [&](CSRequest& req) {
        req.setResultFilename((local / "f.bin").string());
        req.setDownloadProgressSelector([&](CSRequest* q) { last = q->downloadProgress(); });
    });
    ASSERT_FALSE(r->error());
    EXPECT_EQ(fs::file_size(local / "f.bin"), 100000u);
    EXPECT_DOUBLE_EQ(last, 1.0);
}

TEST_F(RequestTest, WriteFailureEndsWithCode1002AndNoFile) {
    writeFile(storage / "big.bin", std::string(2 << 20, 'w'));
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    auto r = run(signedRequest(*store, url("/files/cloud/big.bin")),
                 [&](CSRequest& req) { req.setResultFilename((local / "big.bin").string()); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_TRUE(r->error());
    EXPECT_TRUE(r->error()->is(CSErrorDomain, CSErrorInsufficientDiskSpace));
    EXPECT_TRUE(strayFiles(local, {}).empty());
}

TEST_F(RequestTest, CancelMakesNoCallbackAndRemovesTheTemporaryFile) {
    writeFile(storage / "big.bin", std::string(8 << 20, 'c'));
    CountingObserver observer;
    int calls = 0;
    auto request = std::make_unique<CSRequest>(
        signedRequest(*store, url("/files/cloud/big.bin")), [&](CSRequest*) { ++calls; },
        endpoints(), &observer);
    request->setResultFilename((local / "big.bin").string());
    bool sawData = false;
    request->setDownloadProgressSelector([&](CSRequest* q) {
        if (!sawData) {
            sawData = true;
            EXPECT_EQ(strayFiles(local, {}).size(), 1u)
                << "the temporary file sits in the destination's folder";
            q->cancel();
        }
    });
    ASSERT_TRUE(waitUntil([&] { return sawData; }));
    runEventsFor(300);
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(strayFiles(local, {}).empty());
    EXPECT_EQ(observer.started, 1);
    EXPECT_EQ(observer.stopped, 1);
}

TEST_F(RequestTest, TimeoutCountsTimeWithoutProgress) {
    cloud.service().injectFault(ServiceFault::Slow, "/account/");
    auto r = run(signedRequest(*store, url("/account/info")),
                 [](CSRequest& req) { req.setTimeoutInterval(0.3); });
    ASSERT_TRUE(r->error());
    EXPECT_EQ(r->error()->domain, CSNetworkErrorDomain);
    EXPECT_EQ(r->error()->code, 4); // QNetworkReply::TimeoutError
}

TEST_F(RequestTest, NotModifiedIsAnErrorWithoutAWarning) {
    fs::create_directories(storage / "folder");
    auto first = run(signedRequest(*store, url("/metadata/cloud/folder")));
    ASSERT_FALSE(first->error());
    const std::string hash = first->resultJSON()->find("hash")->asString();
    LogCapture log;
    auto r = run(signedRequest(*store, url("/metadata/cloud/folder"), "GET", {{"hash", hash}}));
    ASSERT_TRUE(r->error());
    EXPECT_TRUE(r->error()->is(CSErrorDomain, 304));
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(RequestTest, LogLinesNameThePathOnly) {
    cloud.service().injectFault(ServiceFault::Status500, "/metadata/");
    LogCapture log;
    auto r = run(signedRequest(*store, url("/metadata/cloud/a%20b")));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "[WARNING] CloudSDK: error making request to /1/metadata/cloud/a b - "
                            "(500) Internal server error");
    for (const auto& line : log.lines) {
        EXPECT_EQ(line.find("oauth"), std::string::npos);
        EXPECT_EQ(line.find(token.token), std::string::npos);
    }
}

TEST_F(RequestTest, ParseResponseAsType) {
    fs::create_directories(storage / "folder");
    auto r = run(signedRequest(*store, url("/metadata/cloud/folder")));
    ASSERT_TRUE(r->parseResponseAsType(CSJsonKind::dictionary));
    EXPECT_FALSE(r->error());
    EXPECT_FALSE(r->parseResponseAsType(CSJsonKind::list));
    ASSERT_TRUE(r->error());
    EXPECT_TRUE(r->error()->is(CSErrorDomain, CSErrorInvalidResponse));
    EXPECT_EQ(r->error()->infoString("path"), "/the/path");
    EXPECT_FALSE(r->parseResponseAsType(CSJsonKind::dictionary)) << "an error already set wins";
}

TEST_F(RequestTest, UploadBodyIsSentAgainAfterARedirect) {
    const std::string body(500000, 'u');
    writeFile(local / "up.bin", body);
    cloud.service().injectFault(ServiceFault::RedirectOnce, "/files_put/");
    double last = 0;
    auto r = run(signedUpload(*store, url("/files_put/cloud/dest/up.bin")), [&](CSRequest& req) {
        req.setSourcePath((local / "up.bin").string());
        req.setUploadProgressSelector([&](CSRequest* q) { last = q->uploadProgress(); });
    });
    ASSERT_FALSE(r->error()) << r->error()->description();
    EXPECT_EQ(readFile(storage / "dest/up.bin"), body);
    auto recorded = cloud.service().requests();
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].status, 307);
    EXPECT_EQ(recorded[1].status, 200);
    EXPECT_EQ(recorded[1].bodySize, body.size());
    EXPECT_DOUBLE_EQ(last, 1.0);
}

TEST_F(RequestTest, RedirectsNeverLeaveTheRequestsServer) {
    // A second server the first one's certificate authority also vouches for.
    CloudTestService::Options options;
    options.storage = env.makeFolder("other");
    options.serverCertificate = issueServerCertificate(cloud.root());
    CloudTestService other(options);
    ASSERT_TRUE(other.start());
    writeFile(local / "up.bin", std::string(100000, 'u'));
    {
        SCOPED_TRACE("307 of an upload to another host name of the same machine");
        cloud.service().injectFault(ServiceFault::RedirectElsewhere, "/files_put/");
        auto r = run(signedUpload(*store, url("/files_put/cloud/dest/up.bin")),
                     [&](CSRequest& req) { req.setSourcePath((local / "up.bin").string()); });
        ASSERT_TRUE(r->error());
        EXPECT_TRUE(r->error()->is(CSErrorDomain, 307));
        EXPECT_EQ(cloud.service().requests().size(), 1u) << "the body went out once only";
        EXPECT_FALSE(fs::exists(storage / "dest/up.bin"));
    }
    {
        SCOPED_TRACE("307 of a form body to another port");
        cloud.service().clearRequests();
        cloud.service().setRedirectAuthority("127.0.0.1:" + std::to_string(other.port()));
        cloud.service().injectFault(ServiceFault::RedirectElsewhere, "/fileops/");
        auto r = run(signedRequest(*store, url("/fileops/create_folder"), "POST",
                                   {{"root", "cloud"}, {"path", "/made"}}));
        ASSERT_TRUE(r->error());
        EXPECT_TRUE(r->error()->is(CSErrorDomain, 307));
        EXPECT_EQ(cloud.service().requests().size(), 1u);
        EXPECT_TRUE(other.requests().empty()) << "nothing reached the other server";
    }
    {
        SCOPED_TRACE("the same server is still followed");
        cloud.service().injectFault(ServiceFault::RedirectOnce, "/fileops/");
        auto r = run(signedRequest(*store, url("/fileops/create_folder"), "POST",
                                   {{"root", "cloud"}, {"path", "/made"}}));
        ASSERT_FALSE(r->error()) << r->error()->description();
        EXPECT_TRUE(fs::is_directory(storage / "made"));
    }
    {
        SCOPED_TRACE("but not forever");
        cloud.service().clearRequests();
        cloud.service().injectFault(ServiceFault::RedirectOnce, "/account/", 10);
        auto r = run(signedRequest(*store, url("/account/info")));
        ASSERT_TRUE(r->error());
        EXPECT_TRUE(r->error()->is(CSErrorDomain, 307));
        EXPECT_EQ(cloud.service().requests().size(), 1u + CSRequest::kMaxRedirects);
    }
    other.stop();
}

TEST_F(RequestTest, AnAnswerKeptInMemoryIsCappedNotTruncated) {
    writeFile(storage / "huge.json", std::string(CSRequest::kMaxBodyInMemory + 1, ' '));
    writeFile(storage / "fits.json", std::string(CSRequest::kMaxBodyInMemory, ' '));
    auto over = run(signedRequest(*store, url("/files/cloud/huge.json")));
    ASSERT_TRUE(over->error());
    EXPECT_TRUE(over->error()->is(CSErrorDomain, CSErrorInvalidResponse));
    EXPECT_LE(over->resultData().size(), CSRequest::kMaxBodyInMemory);
    auto fits = run(signedRequest(*store, url("/files/cloud/fits.json")));
    ASSERT_FALSE(fits->error()) << fits->error()->description();
    EXPECT_EQ(fits->resultData().size(), CSRequest::kMaxBodyInMemory);
}

// A file system that had 1 MiB free before the download began.
std::uint64_t oneMebibyteFree(int fd) {
    struct stat st {};
    ::fstat(fd, &st);
    return st.st_size >= (1 << 20) ? 0 : (1 << 20) - static_cast<std::uint64_t>(st.st_size);
}

struct SmallFileSystem {
    SmallFileSystem() { CSDownloadFile::setFreeSpaceProbe(&oneMebibyteFree); }
    ~SmallFileSystem() { CSDownloadFile::setFreeSpaceProbe(nullptr); }
};

TEST_F(RequestTest, DownloadsStopAtTheFreeSpaceOfTheDestination) {
    writeFile(storage / "big.bin", std::string(3 << 20, 'b'));
    auto small = std::make_unique<SmallFileSystem>();
    for (ServiceFault fault : {ServiceFault::NoSize, ServiceFault::None}) {
        SCOPED_TRACE(fault == ServiceFault::NoSize ? "no size announced" : "size announced");
        writeFile(local / "big.bin", "keep me");
        cloud.service().injectFault(fault, "/files/");
        auto r = run(signedRequest(*store, url("/files/cloud/big.bin")),
                     [&](CSRequest& req) { req.setResultFilename((local / "big.bin").string()); });
        ASSERT_TRUE(r->error());
        EXPECT_TRUE(r->error()->is(CSErrorDomain, CSErrorInsufficientDiskSpace));
        EXPECT_EQ(readFile(local / "big.bin"), "keep me");
        EXPECT_TRUE(strayFiles(local, {"big.bin"}).empty());
    }
    small.reset();
    cloud.service().injectFault(ServiceFault::NoSize, "/files/");
    auto r = run(signedRequest(*store, url("/files/cloud/big.bin")),
                 [&](CSRequest& req) { req.setResultFilename((local / "big.bin").string()); });
    ASSERT_FALSE(r->error()) << r->error()->description();
    EXPECT_EQ(fs::file_size(local / "big.bin"), 3u << 20);
}

TEST_F(RequestTest, ARequestMayBeDestroyedFromItsOwnProgressCall) {
    writeFile(storage / "big.bin", std::string(8 << 20, 'd'));
    writeFile(local / "up.bin", std::string(8 << 20, 'u'));
    for (bool upload : {false, true}) {
        SCOPED_TRACE(upload ? "upload" : "download");
        int calls = 0;
        std::unique_ptr<CSRequest> request;
        const CSRequest::Callback destroy = [&](CSRequest*) { request.reset(); };
        if (upload) {
            request = std::make_unique<CSRequest>(
                signedUpload(*store, url("/files_put/cloud/up.bin")), [&](CSRequest*) { ++calls; },
                endpoints());
            request->setSourcePath((local / "up.bin").string());
            request->setUploadProgressSelector(destroy);
        } else {
            request = std::make_unique<CSRequest>(
                signedRequest(*store, url("/files/cloud/big.bin")), [&](CSRequest*) { ++calls; },
                endpoints());
            request->setResultFilename((local / "down.bin").string());
            request->setDownloadProgressSelector(destroy);
        }
        ASSERT_TRUE(waitUntil([&] { return !request; }));
        runEventsFor(200);
        EXPECT_EQ(calls, 0);
        EXPECT_TRUE(strayFiles(local, {"up.bin"}).empty());
    }
}

TEST_F(RequestTest, UnsignedOrWronglySignedRequestsAreRefused) {
    OAuthCredentialConcreteStore wrong = makeStore(token.token, "not the secret");
    auto r = run(signedRequest(wrong, url("/account/info")));
    ASSERT_TRUE(r->error());
    EXPECT_EQ(r->error()->code, 401);
}

} // namespace
