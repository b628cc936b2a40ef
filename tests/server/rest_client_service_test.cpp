// The client library's REST client against mobrix-cloud: the same operations
// the project's client tests run against the test-only service, here against
// the real one, so both sides of the contract meet.
#include "cs_client_context.h"
#include "cs_rest_client.h"
#include "cs_service_endpoints.h"
#include "cs_session.h"
#include "cs_trust.h"
#include "private_home.h"
#include "qt_wait.h"
#include "service_harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace servertest;
namespace fs = std::filesystem;

namespace {

struct Seen {
    std::string name;
    std::string detail;
    long code = 0;
};

class Failures : public CSSessionDelegate {
public:
    void sessionDidReceiveAuthorizationFailure(CSSession*, const std::string& userId) override {
        users.push_back(userId);
    }
    std::vector<std::string> users;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class RestClientAgainstService : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.started());
        CSServiceEndpoints& e = context.endpoints;
        e.apiHost = e.contentHost = e.webHost = "127.0.0.1";
        e.port = static_cast<std::uint16_t>(service.port());
        e.trustAnchors = {service.root().der()};
        e.usePinnedRoots = false;
        uid = service.addAccount("ann", "pw", 10 << 20);
        token = service.accessToken(uid);
        session = std::make_shared<CSSession>(context, kAppKey, kAppSecret, "cloud");
        session->setAccessToken(token.token, token.secret, std::to_string(uid));
        session->setDelegate(&failures);
        client = CSRestClient::initWithSession(session);
        client->setDelegate(delegate());
    }
    void TearDown() override {
        client.reset();
        CSCloseIdleConnections();
    }

    CSRestClientDelegate delegate() {
        CSRestClientDelegate d;
        auto failed = [this](const char* name) {
            return [this, name](CSRestClient*, const CSError& e) {
                seen.push_back({name, e.description(), e.code});
            };
        };
        auto metadata = [this](const char* name) {
            return [this, name](CSRestClient*, const CSMetadata& m) {
                seen.push_back(
                    {name, m.path().value_or("") + " " + std::to_string(m.totalBytes())});
                last = m;
            };
        };
        d.createdFolder = metadata("createdFolder");
        d.createFolderFailedWithError = failed("createFolderFailed");
        d.uploadedFileFromMetadata = [this](CSRestClient*, const std::string& dest,
                                            const std::string&, const CSMetadata& m) {
            seen.push_back({"uploaded", dest + " " + std::to_string(m.totalBytes())});
            last = m;
        };
        d.uploadFileFailedWithError = failed("uploadFailed");
        d.loadedFileContentTypeMetadata = [this](CSRestClient*, const std::string& p,
                                                 const std::string& type,
                                                 const std::optional<CSMetadata>& m) {
            seen.push_back(
                {"loadedFile", type + " " + (m ? std::to_string(m->totalBytes()) : "-")});
            loadedPath = p;
        };
        d.loadFileFailedWithError = failed("loadFileFailed");
        d.loadedMetadata = metadata("loadedMetadata");
        d.metadataUnchangedAtPath = [this](CSRestClient*, const std::string& p) {
            seen.push_back({"unchanged", p});
        };
        d.loadMetadataFailedWithError = failed("loadMetadataFailed");
        d.deletedPath = [this](CSRestClient*, const std::string& p) {
            seen.push_back({"deleted", p});
        };
        d.deletePathFailedWithError = failed("deleteFailed");
        d.loadedAccountInfo = [this](CSRestClient*, const CSAccountInfo& a) {
            seen.push_back(
                {"account", a.userId().value_or("") + " " +
                                std::to_string(a.quota() ? a.quota()->totalBytes() : 0)});
        };
        d.loadAccountInfoFailedWithError = failed("accountFailed");
        d.movedPath = [this](CSRestClient*, const std::string& from, const CSMetadata& m) {
            seen.push_back({"moved", from + " " + m.path().value_or("")});
        };
        d.copiedPath = [this](CSRestClient*, const std::string& from, const CSMetadata& m) {
            seen.push_back({"copied", from + " " + m.path().value_or("")});
        };
        d.loadedRevisions = [this](CSRestClient*, const std::vector<CSMetadata>& r,
                                   const std::string& p) {
            seen.push_back({"revisions", p + " " + std::to_string(r.size())});
            if (!r.empty())
                oldest = r.back();
        };
        d.restoredFile = metadata("restored");
        d.loadedSearchResults = [this](CSRestClient*, const std::vector<CSMetadata>& r,
                                       const std::string&, const std::string& k) {
            seen.push_back({"found", k + " " + std::to_string(r.size())});
        };
        d.loadedDeltaEntries = [this](CSRestClient*, const std::vector<CSDeltaEntry>& e, bool reset,
                                      const std::string&, bool) {
            seen.push_back({"delta", std::to_string(e.size()) + (reset ? " reset" : "")});
        };
        d.uploadedFileChunk = [this](CSRestClient*, const std::string& id, std::int64_t offset,
                                     const std::string&, const std::optional<CSDate>& expires) {
            seen.push_back({"chunk", std::to_string(offset) + (expires ? " expires" : "")});
            uploadId = id;
        };
        d.uploadFileChunkFailedWithError = failed("chunkFailed");
        d.uploadedFileFromUploadId = [this](CSRestClient*, const std::string& dest,
                                            const std::string&, const CSMetadata& m) {
            seen.push_back({"committed", dest + " " + std::to_string(m.totalBytes())});
        };
        d.uploadFromUploadIdFailedWithError = failed("commitFailed");
        return d;
    }

    // Waits for the next answer and gives it.
    Seen next() {
        const std::size_t before = seen.size();
        EXPECT_TRUE(testsupport::waitUntil([&] { return seen.size() > before; }));
        return seen.size() > before ? seen[before] : Seen{"(none)", {}, 0};
    }

    PrivateHome environment;
    fs::path local = environment.makeFolder("local");
    ServiceHarness service;
    CSClientContext context;
    std::int64_t uid = 0;
    Token token;
    Failures failures;
    std::shared_ptr<CSSession> session;
    std::unique_ptr<CSRestClient> client;
    std::vector<Seen> seen;
    std::optional<CSMetadata> last, oldest;
    std::string loadedPath, uploadId;
};

} // namespace

TEST_F(RestClientAgainstService, TheBackupOperationsRoundTrip) {
    client->createFolder("/Mobrix/MobrixLibrary");
    EXPECT_EQ(next().name, "createdFolder");
    writeFile(local / "Notes.zip", std::string(300000, 'n'));
    client->uploadFile("Notes.zip", "/Mobrix/MobrixLibrary/", (local / "Notes.zip").string());
    auto uploaded = next();
    EXPECT_EQ(uploaded.name, "uploaded") << uploaded.detail;
    EXPECT_EQ(uploaded.detail, "/Mobrix/MobrixLibrary/Notes.zip 300000");

    client->loadFile("/Mobrix/MobrixLibrary/Notes.zip", (local / "back.zip").string());
    auto loaded = next();
    EXPECT_EQ(loaded.name, "loadedFile") << loaded.detail;
    EXPECT_EQ(loaded.detail, "application/octet-stream 300000");
    EXPECT_EQ(readFile(local / "back.zip"), std::string(300000, 'n'));

    client->loadMetadata("/Mobrix/MobrixLibrary");
    EXPECT_EQ(next().name, "loadedMetadata");
    ASSERT_TRUE(last && last->hash() && last->contents());
    EXPECT_EQ(last->contents()->size(), 1u);
    client->loadMetadataWithHash("/Mobrix/MobrixLibrary", *last->hash());
    EXPECT_EQ(next().name, "unchanged");

    client->loadAccountInfo();
    EXPECT_EQ(next().detail, std::to_string(uid) + " " + std::to_string(10 << 20));

    client->deletePath("/Mobrix");
    EXPECT_EQ(next().name, "deleted");
    client->loadFile("/Mobrix/MobrixLibrary/Notes.zip", (local / "gone.zip").string());
    auto missing = next();
    EXPECT_EQ(missing.name, "loadFileFailed");
    EXPECT_EQ(missing.code, 404);
    EXPECT_FALSE(fs::exists(local / "gone.zip"));
}

TEST_F(RestClientAgainstService, TheOtherOperationsAnswerAsTheClientExpects) {
    writeFile(local / "doc.txt", "first");
    client->uploadFile("doc.txt", "/", (local / "doc.txt").string());
    EXPECT_EQ(next().name, "uploaded");
    writeFile(local / "doc.txt", "second version");
    client->uploadFile("doc.txt", "/", (local / "doc.txt").string());
    EXPECT_EQ(next().name, "uploaded");

    client->loadRevisionsForFile("/doc.txt");
    EXPECT_EQ(next().detail, "/doc.txt 2");
    ASSERT_TRUE(oldest && oldest->rev());
    client->restoreFile("/doc.txt", *oldest->rev());
    EXPECT_EQ(next().detail, "/doc.txt 5");
    client->moveFrom("/doc.txt", "/Docs/doc.txt");
    EXPECT_EQ(next().detail, "/doc.txt /Docs/doc.txt");
    client->copyFrom("/Docs", "/Copy");
    EXPECT_EQ(next().detail, "/Docs /Copy");
    client->searchPath("/", "DOC");
    EXPECT_EQ(next().detail, "DOC 3"); // the folder /Docs and two files
    client->loadDelta(std::nullopt);
    EXPECT_EQ(next().detail, "4 reset"); // two folders, two files
}

TEST_F(RestClientAgainstService, AChunkedUploadCommitsWhatWasAcknowledged) {
    const std::string body(5 * 1024 * 1024 + 17, 'c');
    writeFile(local / "big.bin", body);
    std::int64_t offset = 0;
    std::optional<std::string> id;
    while (offset < static_cast<std::int64_t>(body.size())) {
        client->uploadFileChunk(id, offset, (local / "big.bin").string());
        auto chunk = next();
        ASSERT_EQ(chunk.name, "chunk") << chunk.detail;
        EXPECT_NE(chunk.detail.find("expires"), std::string::npos);
        offset = std::stoll(chunk.detail);
        id = uploadId;
    }
    client->uploadFileFromUploadId("big.bin", "/Archives", std::nullopt, *id);
    EXPECT_EQ(next().detail, "/Archives/big.bin " + std::to_string(body.size()));
    client->loadFile("/Archives/big.bin", (local / "back.bin").string());
    EXPECT_EQ(next().name, "loadedFile");
    EXPECT_TRUE(readFile(local / "back.bin") == body);
}

TEST_F(RestClientAgainstService, RefusalsReachTheClientAsItsErrors) {
    writeFile(local / "huge.bin", std::string(11 << 20, 'h'));
    client->uploadFile("huge.bin", "/", (local / "huge.bin").string());
    auto over = next();
    EXPECT_EQ(over.name, "uploadFailed");
    EXPECT_EQ(over.code, 507);
    client->createFolder("/a/../b");
    EXPECT_EQ(next().code, 400);

    session->setAccessToken("unknown-token", token.secret, std::to_string(uid));
    client->loadAccountInfo();
    auto refused = next();
    EXPECT_EQ(refused.name, "accountFailed");
    EXPECT_EQ(refused.code, 401);
    EXPECT_EQ(failures.users, std::vector<std::string>{std::to_string(uid)});
}
