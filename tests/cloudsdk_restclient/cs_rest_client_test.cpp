// The REST client against the local service: failure calls and their
// information, the signed query or body, cancelling, and the client's own checks.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cs_rest_client.h"
#include "cs_trust.h"
#include "local_cloud.h"
#include "private_home.h"
#include "qt_wait.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct Call {
    std::string name;
    std::optional<CSError> error;
};

class AuthFailures : public CSSessionDelegate {
public:
    void sessionDidReceiveAuthorizationFailure(CSSession*, const std::string& userId) override {
        users.push_back(userId);
    }
    std::vector<std::string> users;
};

void writeFile(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// The parameter names of a query or form body, in order.
std::vector<std::string> names(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string piece;
    while (std::getline(ss, piece, '&'))
        out.push_back(piece.substr(0, piece.find('=')));
    return out;
}

const RecordedRequest* find(const std::vector<RecordedRequest>& all, const std::string& pathPart) {
    for (const auto& r : all) {
        if (r.path.find(pathPart) != std::string::npos)
            return &r;
    }
    return nullptr;
}

class RestClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(cloud.started());
        const auto token = cloud.service().issueAccessToken("1001");
        session = std::make_shared<CSSession>(cloud.client(), "q7w2k9x4m1z8r5t", "h3n6p0v2c8j5y1f",
                                              "cloud");
        session->setAccessToken(token.token, token.secret, "1001");
        session->setDelegate(&authFailures);
        client = CSRestClient::initWithSession(session);
        ASSERT_TRUE(client);
        client->setDelegate(recordingDelegate());
    }

    void TearDown() override {
        client.reset();
        CSCloseIdleConnections();
    }

    // Waits until `n` calls have arrived, then lets the loop run a little more.
    bool waitForCalls(std::size_t n) {
        bool ok = waitUntil([&] { return calls.size() >= n; });
        runEventsFor(50);
        return ok;
    }

    // Every call but progress is recorded by name, the failures with their error.
    CSRestClientDelegate recordingDelegate() {
        CSRestClientDelegate d;
#define RECORD(name) d.name = [this](CSRestClient*, auto&&...) { calls.push_back({#name, {}}); }
#define RECORD_FAILURE(name)                                                                       \
    d.name = [this](CSRestClient*, const CSError& e) { calls.push_back({#name, e}); }
        RECORD(loadedMetadata);
        RECORD(loadedFile);
        RECORD(uploadedFileFromMetadata);
        RECORD(createdFolder);
        RECORD(loadedAccountInfo);
        const auto progress = [this](CSRestClient*, auto&&...) { ++progressCalls; };
        d.loadProgress = progress;
        d.uploadProgress = progress;
        RECORD_FAILURE(loadMetadataFailedWithError);
        RECORD_FAILURE(loadFileFailedWithError);
        RECORD_FAILURE(uploadFileFailedWithError);
        RECORD_FAILURE(deletePathFailedWithError);
        RECORD_FAILURE(createFolderFailedWithError);
        RECORD_FAILURE(loadAccountInfoFailedWithError);
#undef RECORD
#undef RECORD_FAILURE
        return d;
    }

    PrivateHome env;
    fs::path local = env.makeFolder("local");
    LocalCloud cloud;
    AuthFailures authFailures;
    std::shared_ptr<CSSession> session;
    std::unique_ptr<CSRestClient> client;
    std::vector<Call> calls;
    int progressCalls = 0;
};

TEST_F(RestClientTest, FailureCallsCarryTheRequestsInformation) {
    ASSERT_TRUE(cloud.service().putFile("/exists/f", "x"));
    client->createFolder("/exists");
    client->deletePath("/missing");
    client->loadFile("/missing.zip", (local / "missing.zip").string());
    ASSERT_TRUE(waitForCalls(3));
    std::map<std::string, CSError> byName;
    for (const auto& c : calls)
        byName[c.name] = *c.error;
    ASSERT_EQ(byName.size(), 3u);
    const CSError& create = byName.at("createFolderFailedWithError");
    EXPECT_EQ(create.code, 403);
    EXPECT_EQ(create.infoString("path"), "/exists");
    EXPECT_EQ(create.infoString("root"), "cloud");
    EXPECT_NE(create.infoString("error").find("already exists"), std::string::npos);
    const CSError& del = byName.at("deletePathFailedWithError");
    EXPECT_EQ(del.code, 404);
    EXPECT_EQ(del.infoString("path"), "/missing");
    const CSError& load = byName.at("loadFileFailedWithError");
    EXPECT_EQ(load.code, 404);
    EXPECT_EQ(load.infoString("path"), "/missing.zip");
    EXPECT_EQ(load.infoString("destinationPath"), (local / "missing.zip").string());
    EXPECT_FALSE(fs::exists(local / "missing.zip"));
    EXPECT_TRUE(authFailures.users.empty());
}

TEST_F(RestClientTest, SignedQueriesAndBodies) {
    writeFile(local / "up.txt", "data");
    client->loadMetadata("/a b#c&d.txt");
    client->createFolder("/new folder");
    client->uploadFile("up.txt", "/dir", std::optional<std::string>("rev1"),
                       (local / "up.txt").string());
    ASSERT_TRUE(waitForCalls(3));
    const auto recorded = cloud.service().requests();
    const std::vector<std::string> oauth = {
        "oauth_consumer_key", "oauth_nonce", "oauth_signature_method",
        "oauth_timestamp",    "oauth_token", "oauth_version"};
    auto expectNames = [&](const std::string& text, std::vector<std::string> before,
                           std::vector<std::string> after) {
        before.insert(before.end(), oauth.begin(), oauth.end());
        before.insert(before.end(), after.begin(), after.end());
        before.push_back("oauth_signature");
        EXPECT_EQ(names(text), before);
    };

    const RecordedRequest* get = find(recorded, "/metadata/");
    ASSERT_TRUE(get);
    EXPECT_EQ(get->target.substr(0, get->target.find('?')), "/1/metadata/cloud/a%20b%23c%26d.txt");
    expectNames(get->query, {"locale"}, {});
    EXPECT_EQ(get->param("locale"), "en");
    EXPECT_EQ(get->userAgent, "Mobrix/1.0.0 OfficialCloudSdk/1.0.0");
    // The token secret holds "&": escaped twice on the wire, the separator once.
    EXPECT_NE(get->query.find("oauth_signature=h3n6p0v2c8j5y1f%26as%2526"), std::string::npos)
        << get->query;

    const RecordedRequest* post = find(recorded, "/create_folder");
    ASSERT_TRUE(post);
    EXPECT_TRUE(post->query.empty());
    EXPECT_EQ(post->contentType, "application/x-www-form-urlencoded");
    expectNames(post->body, {"locale"}, {"path", "root"});
    EXPECT_EQ(post->param("path"), "/new folder");

    const RecordedRequest* up = find(recorded, "/files_put/");
    ASSERT_TRUE(up);
    EXPECT_EQ(up->target.substr(0, up->target.find('?')), "/1/files_put/cloud/dir/up.txt");
    expectNames(up->query, {}, {"overwrite", "parent_rev"}); // no locale
    EXPECT_EQ(up->param("overwrite"), "false");
    EXPECT_EQ(up->param("parent_rev"), "rev1");
    EXPECT_EQ(up->contentType, "application/octet-stream");
    EXPECT_EQ(up->bodySize, 4u);
}

TEST_F(RestClientTest, RefusedTokenReachesTheSessionDelegate) {
    cloud.service().revokeTokens();
    client->loadAccountInfo();
    writeFile(local / "f.txt", "x");
    client->uploadFile("f.txt", "/", (local / "f.txt").string());
    ASSERT_TRUE(waitForCalls(2));
    for (const auto& c : calls)
        EXPECT_EQ(c.error->code, 401) << c.name;
    EXPECT_EQ(authFailures.users, (std::vector<std::string>{"1001", "1001"}));
    EXPECT_TRUE(session->isLinked()) << "nothing is unlinked";
}

TEST_F(RestClientTest, UploadOfAMissingFileOrAFolderMakesNoRequest) {
    fs::create_directories(local / "folder");
    client->uploadFile("nothing.zip", "/Mobrix/MobrixLibrary/", (local / "nothing.zip").string());
    client->uploadFile("folder", "/Mobrix", (local / "folder").string());
    EXPECT_EQ(client->requestCount(), 0u);
    ASSERT_EQ(calls.size(), 2u) << "reported at once";
    EXPECT_TRUE(calls[0].error->is(CSErrorDomain, CSErrorFileNotFound));
    EXPECT_EQ(calls[0].error->infoString("sourcePath"), (local / "nothing.zip").string());
    EXPECT_EQ(calls[0].error->infoString("destinationPath"), "/Mobrix/MobrixLibrary/nothing.zip");
    EXPECT_TRUE(calls[1].error->is(CSErrorDomain, CSErrorIllegalFileType));
    EXPECT_EQ(calls[1].error->infoString("destinationPath"), "/Mobrix/folder");
    runEventsFor(100);
    EXPECT_TRUE(cloud.service().requests().empty());
}

TEST_F(RestClientTest, CancelAllMakesNoCallsAndLeavesNothingBehind) {
    ASSERT_TRUE(cloud.service().putFile("/big.bin", std::string(4 << 20, 'b')));
    writeFile(local / "up.bin", std::string(1 << 20, 'u'));
    client->loadFile("/big.bin", (local / "big.bin").string());
    client->uploadFile("up.bin", "/d", (local / "up.bin").string());
    client->loadAccountInfo();
    EXPECT_EQ(client->requestCount(), 3u);
    client->cancelAllRequests();
    EXPECT_EQ(client->requestCount(), 0u);
    runEventsFor(500);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(progressCalls, 0);
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(local))
        files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"up.bin"});
}

TEST_F(RestClientTest, AnswersOfTheWrongShapeEndIn1004) {
    struct Case {
        std::function<void()> start;
        const char* pathPart;
        const char* failure;
    };
    writeFile(local / "f.txt", "x");
    // One operation of each kind: a form body, a listing, an upload.
    const std::vector<Case> cases = {
        {[&] { client->createFolder("/x"); }, "create_folder", "createFolderFailedWithError"},
        {[&] { client->loadMetadata("/folder"); }, "/metadata/", "loadMetadataFailedWithError"},
        {[&] { client->uploadFile("f.txt", "/", (local / "f.txt").string()); }, "/files_put/",
         "uploadFileFailedWithError"},
    };
    // A list of numbers is the wrong shape for a listing too: its elements are not records.
    for (ServiceFault fault : {ServiceFault::WrongShape, ServiceFault::NotJson}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.failure);
            calls.clear();
            cloud.service().injectFault(fault, c.pathPart);
            c.start();
            ASSERT_TRUE(waitForCalls(1));
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(calls[0].name, c.failure);
            EXPECT_TRUE(calls[0].error->is(CSErrorDomain, CSErrorInvalidResponse));
        }
    }
}

TEST(RestClientPaths, EscapePathLeavesOnlyLettersDigitsDashDotUnderscoreAndSlash) {
    EXPECT_EQ(
        CSRestClient::escapePath("/a b/c#d&e:f?g=h,i!j$k'l(m)n*o+p;q[r]s@t~u%v/\xE2\x82\xAC"),
        "/a%20b/c%23d%26e%3Af%3Fg%3Dh%2Ci%21j%24k%27l%28m%29n%2Ao%2Bp%3Bq%5Br%5Ds%40t%7Eu%25v/"
        "%E2%82%AC");
}

} // namespace
