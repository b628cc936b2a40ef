// The REST client against the local service: each operation's success and
// failure call with its arguments, the signed query or body, and the
// client's own checks.
#include "rest_client_fixture.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

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

TEST_F(RestClientTest, FailureCallsCarryTheRequestsInformation) {
    fs::create_directories(storage / "exists");
    client->createFolder("/exists");
    client->deletePath("/missing");
    client->loadFile("/missing.zip", (local / "missing.zip").string());
    ASSERT_TRUE(waitForCalls(3));
    std::map<std::string, CSError> byName;
    for (const auto& c : finals())
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
    writeFile(storage / "a b#c&d.txt", "x");
    writeFile(local / "up.txt", "data");
    client->loadMetadata("/a b#c&d.txt");
    client->createFolder("/new folder");
    client->uploadFile("up.txt", "/dir", std::optional<std::string>("rev1"),
                       (local / "up.txt").string());
    ASSERT_TRUE(waitForCalls(3));
    const auto recorded = cloud.service().requests();

    const RecordedRequest* get = find(recorded, "/metadata/");
    ASSERT_TRUE(get);
    EXPECT_EQ(get->target.substr(0, get->target.find('?')), "/1/metadata/cloud/a%20b%23c%26d.txt");
    EXPECT_EQ(names(get->query),
              (std::vector<std::string>{"locale", "oauth_consumer_key", "oauth_nonce",
                                        "oauth_signature_method", "oauth_timestamp", "oauth_token",
                                        "oauth_version", "oauth_signature"}));
    EXPECT_EQ(get->param("locale"), "en");
    EXPECT_EQ(get->userAgent, "Mobrix/1.0.0 OfficialCloudSdk/1.0.0");
    // The token secret holds "&": escaped twice on the wire, the separator once.
    EXPECT_NE(get->query.find("oauth_signature=h3n6p0v2c8j5y1f%26as%2526"), std::string::npos)
        << get->query;

    const RecordedRequest* post = find(recorded, "/create_folder");
    ASSERT_TRUE(post);
    EXPECT_TRUE(post->query.empty());
    EXPECT_EQ(post->contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(names(post->body),
              (std::vector<std::string>{"locale", "oauth_consumer_key", "oauth_nonce",
                                        "oauth_signature_method", "oauth_timestamp", "oauth_token",
                                        "oauth_version", "path", "root", "oauth_signature"}));
    EXPECT_EQ(post->param("path"), "/new folder");

    const RecordedRequest* up = find(recorded, "/files_put/");
    ASSERT_TRUE(up);
    EXPECT_EQ(up->target.substr(0, up->target.find('?')), "/1/files_put/cloud/dir/up.txt");
    EXPECT_EQ(names(up->query),
              (std::vector<std::string>{
                  "oauth_consumer_key", "oauth_nonce", "oauth_signature_method", "oauth_timestamp",
                  "oauth_token", "oauth_version", "overwrite", "parent_rev", "oauth_signature"}))
        << "uploads carry no locale";
    EXPECT_EQ(up->param("overwrite"), "false");
    EXPECT_EQ(up->param("parent_rev"), "rev1");
    EXPECT_EQ(up->contentType, "application/octet-stream");
    EXPECT_EQ(up->bodySize, 4u);
}

TEST_F(RestClientTest, UnchangedListingCallsOnlyMetadataUnchanged) {
    fs::create_directories(storage / "folder/sub");
    writeFile(storage / "folder/f.txt", "1");
    client->loadMetadata("/folder");
    ASSERT_TRUE(waitForCalls(1));
    ASSERT_EQ(finals()[0].name, "loadedMetadata");
    const CSMetadata listing = *finals()[0].metadata;
    ASSERT_TRUE(listing.contents());
    EXPECT_EQ(listing.contents()->size(), 2u);
    client->loadMetadataWithHash("/folder", *listing.hash());
    ASSERT_TRUE(waitForCalls(2));
    ASSERT_EQ(finals().size(), 2u);
    EXPECT_EQ(finals()[1].name, "metadataUnchangedAtPath");
    EXPECT_EQ(finals()[1].args[0], "/folder");
}

TEST_F(RestClientTest, RefusedTokenReachesTheSessionDelegate) {
    cloud.service().revokeTokens();
    client->loadAccountInfo();
    writeFile(local / "f.txt", "x");
    client->uploadFile("f.txt", "/", (local / "f.txt").string());
    ASSERT_TRUE(waitForCalls(2));
    for (const auto& c : finals())
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

TEST_F(RestClientTest, ASecondRequestOfTheSameKeyCancelsTheFirst) {
    writeFile(storage / "big.bin", std::string(4 << 20, 'b'));
    writeFile(local / "up.bin", std::string(1 << 20, 'u'));
    client->loadFile("/big.bin", (local / "one.bin").string());
    client->loadFile("/big.bin", (local / "two.bin").string());
    client->uploadFile("up.bin", "/d", (local / "up.bin").string());
    client->uploadFile("up.bin", "/d/", (local / "up.bin").string());
    EXPECT_EQ(client->requestCount(), 2u);
    ASSERT_TRUE(waitForCalls(2));
    runEventsFor(200);
    const auto f = finals();
    ASSERT_EQ(f.size(), 2u);
    std::set<std::string> seen;
    for (const auto& c : f)
        seen.insert(c.name + ":" + c.args[0]);
    EXPECT_TRUE(seen.count("loadedFile:" + (local / "two.bin").string()));
    EXPECT_TRUE(seen.count("uploadedFileFromMetadata:/d/up.bin"));
    EXPECT_FALSE(fs::exists(local / "one.bin"));
    EXPECT_EQ(client->requestCount(), 0u);
}

TEST_F(RestClientTest, CancelAllMakesNoCallsAndLeavesNothingBehind) {
    writeFile(storage / "big.bin", std::string(4 << 20, 'b'));
    writeFile(local / "up.bin", std::string(1 << 20, 'u'));
    client->loadFile("/big.bin", (local / "big.bin").string());
    client->loadThumbnail("/big.bin", std::string("m"), (local / "thumb.bin").string());
    client->uploadFile("up.bin", "/d", (local / "up.bin").string());
    client->loadAccountInfo();
    EXPECT_EQ(client->requestCount(), 4u);
    client->cancelAllRequests();
    EXPECT_EQ(client->requestCount(), 0u);
    runEventsFor(500);
    EXPECT_TRUE(calls.empty());
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
    fs::create_directories(storage / "folder");
    writeFile(local / "f.txt", "x");
    const std::vector<Case> cases = {
        {[&] { client->createFolder("/x"); }, "create_folder", "createFolderFailedWithError"},
        {[&] { client->loadMetadata("/folder"); }, "/metadata/", "loadMetadataFailedWithError"},
        {[&] { client->loadDelta(std::nullopt); }, "/delta", "loadDeltaFailedWithError"},
        {[&] { client->uploadFile("f.txt", "/", (local / "f.txt").string()); }, "/files_put/",
         "uploadFileFailedWithError"},
        {[&] { client->loadAccountInfo(); }, "/account/", "loadAccountInfoFailedWithError"},
        {[&] { client->searchPath("/", "x"); }, "/search/", "searchFailedWithError"},
        {[&] { client->loadRevisionsForFile("/folder"); }, "/revisions/",
         "loadRevisionsFailedWithError"},
    };
    for (ServiceFault fault : {ServiceFault::WrongShape, ServiceFault::NotJson}) {
        // A list of numbers is the wrong shape for a listing too: its elements are not records.
        for (const auto& c : cases) {
            SCOPED_TRACE(c.failure);
            calls.clear();
            cloud.service().injectFault(fault, c.pathPart);
            c.start();
            ASSERT_TRUE(waitForCalls(1));
            ASSERT_EQ(finals().size(), 1u);
            EXPECT_EQ(finals()[0].name, c.failure);
            EXPECT_TRUE(finals()[0].error->is(CSErrorDomain, CSErrorInvalidResponse));
        }
    }
}

TEST_F(RestClientTest, AClientOnAnUnlinkedSessionSignsWithoutAToken) {
    auto anonymousSession =
        std::make_shared<CSSession>(cloud.client(), "q7w2k9x4m1z8r5t", "h3n6p0v2c8j5y1f", "cloud");
    anonymousSession->unlinkAll();
    auto anonymous = CSRestClient::initWithSession(anonymousSession);
    ASSERT_TRUE(anonymous);
    EXPECT_FALSE(anonymous->userId());
    anonymous->setDelegate(recordingDelegate());
    anonymous->loadAccountInfo();
    ASSERT_TRUE(waitForCalls(1));
    const auto recorded = cloud.service().requests();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_FALSE(recorded[0].hasParam("oauth_token"));
    const std::string tail = "&oauth_signature=h3n6p0v2c8j5y1f%26";
    EXPECT_EQ(recorded[0].query.substr(recorded[0].query.size() - tail.size()), tail)
        << "no token secret after the \"&\"";
    EXPECT_EQ(finals()[0].error->code, 401);
}

TEST(RestClientPaths, EscapePathLeavesOnlyLettersDigitsDashDotUnderscoreAndSlash) {
    EXPECT_EQ(
        CSRestClient::escapePath("/a b/c#d&e:f?g=h,i!j$k'l(m)n*o+p;q[r]s@t~u%v/\xE2\x82\xAC"),
        "/a%20b/c%23d%26e%3Af%3Fg%3Dh%2Ci%21j%24k%27l%28m%29n%2Ao%2Bp%3Bq%5Br%5Ds%40t%7Eu%25v/"
        "%E2%82%AC");
}

} // namespace
