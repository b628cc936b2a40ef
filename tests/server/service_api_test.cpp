// The operations as the client reads them: records, error bodies, quotas,
// bad paths, folders, changes, revisions and chunked uploads, over HTTPS on
// the loopback. (The client library's own tests run against this service too.)
#include "cs_delta_entry.h"
#include "service_harness.h"

#include <gtest/gtest.h>

#include <map>

using namespace servertest;

namespace {

class ServiceApi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.started());
        uid = service.addAccount("ann", "pw", 1000);
        token = service.accessToken(uid);
    }

    httplib::Result put(const std::string& path, const std::string& body, const Params& p = {}) {
        return service.upload(token, "/1/files_put/cloud" + escapedPath(path), body, p);
    }
    httplib::Result get(const std::string& path, const Params& p = {}) {
        return service.call(token, "GET", "/1/files/cloud" + escapedPath(path), p);
    }
    int status(const std::string& method, const std::string& path, const Params& p = {}) {
        auto r = service.call(token, method, path, p);
        return r ? r->status : 0;
    }
    httplib::Result op(const std::string& name, const Params& p) {
        Params all = p;
        all.emplace_back("root", "cloud");
        return service.call(token, "POST", "/1/fileops/" + name, all);
    }
    std::int64_t used() {
        auto info = CSAccountInfo::initWithDictionary(
            json(service.call(token, "GET", "/1/account/info")->body));
        return info && info->quota() ? info->quota()->normalConsumedBytes() : -1;
    }

    ServiceHarness service;
    std::int64_t uid = 0;
    Token token;
};

} // namespace

TEST_F(ServiceApi, AnUploadComesBackWithItsRevisionAndNamesTravelEscaped) {
    auto record = metadataOf(put("/Mobrix/Été ü+#.zip", "notes v1"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->path(), "/Mobrix/Été ü+#.zip");
    EXPECT_EQ(record->totalBytes(), 8);
    auto down = get("/MOBRIX/Été ü+#.ZIP");
    EXPECT_EQ(down->body, "notes v1");
    EXPECT_EQ(down->get_header_value("Etag"), *record->rev());
    auto header = CSMetadata::initWithDictionary(json(down->get_header_value("X-Cloud-Metadata")));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->path(), "/Mobrix/Été ü+#.zip");
    // The same bytes again change nothing; other bytes make a new revision.
    EXPECT_EQ(metadataOf(put("/Mobrix/Été ü+#.zip", "notes v1"))->rev(), record->rev());
    EXPECT_NE(metadataOf(put("/Mobrix/Été ü+#.zip", "notes v2"))->rev(), record->rev());
    EXPECT_EQ(get("/Mobrix")->status, 404);
}

TEST_F(ServiceApi, ConflictingUploadsAreKeptUnderAnotherName) {
    auto first = metadataOf(put("/a.txt", "one"));
    ASSERT_TRUE(first);
    EXPECT_EQ(metadataOf(put("/a.txt", "two", {{"overwrite", "false"}}))->path(), "/a (1).txt");
    EXPECT_EQ(metadataOf(put("/a.txt", "three", {{"parent_rev", "ffff"}}))->path(), "/a (2).txt");
    EXPECT_EQ(metadataOf(put("/a.txt", "four", {{"parent_rev", *first->rev()}}))->path(), "/a.txt");
    // A file cannot stand where a folder is, nor under a file.
    EXPECT_EQ(op("create_folder", {{"path", "/dir"}})->status, 200);
    EXPECT_EQ(put("/dir", "x")->status, 403);
    EXPECT_EQ(put("/a.txt/inner", "x")->status, 403);
}

TEST_F(ServiceApi, BadPathsAre400WithAnErrorBodyAndStoreNothing) {
    for (const std::string& path :
         std::vector<std::string>{"/1/files_put/cloud/a/%2E%2E/b", "/1/files_put/cloud/a%00b",
                                  "/1/files_put/cloud/" + std::string(300, 'n'),
                                  "/1/metadata/cloud/..", "/1/files/cloud/x/../../etc/passwd"}) {
        auto result = path.find("files_put") != std::string::npos
                          ? service.upload(token, path, "body")
                          : service.call(token, "GET", path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 400) << path;
        EXPECT_NE(errorOf(result).find("path"), std::string::npos) << path;
    }
    EXPECT_EQ(op("create_folder", {{"path", "/a/../../b"}})->status, 400);
    EXPECT_EQ(op("create_folder", {{"path", std::string("/a\0b", 4)}})->status, 400);
    EXPECT_EQ(op("delete", {{"path", "/"}})->status, 403);
    EXPECT_EQ(status("POST", "/1/fileops/delete", {{"root", "sandbox"}, {"path", "/x"}}), 400);
    EXPECT_EQ(used(), 0);
    EXPECT_EQ(metadataOf(service.call(token, "GET", "/1/metadata/cloud/"))->contents()->size(), 0u);
}

TEST_F(ServiceApi, AnUploadOverTheQuotaIs507AndLeavesNothing) {
    ASSERT_TRUE(metadataOf(put("/one.bin", std::string(600, 'a'))));
    auto info = CSAccountInfo::initWithDictionary(
        json(service.call(token, "GET", "/1/account/info")->body));
    ASSERT_TRUE(info && info->quota());
    EXPECT_EQ(info->userId(), std::to_string(uid));
    EXPECT_EQ(info->quota()->totalBytes(), 1000);
    auto over = put("/two.bin", std::string(500, 'b'));
    EXPECT_EQ(over->status, 507);
    EXPECT_FALSE(errorOf(over).empty());
    EXPECT_EQ(status("GET", "/1/metadata/cloud/two.bin"), 404);
    // Replacing a file counts only the difference; a copy counts whole.
    EXPECT_TRUE(metadataOf(put("/one.bin", std::string(900, 'c'))));
    EXPECT_EQ(op("copy", {{"from_path", "/one.bin"}, {"to_path", "/copy.bin"}})->status, 507);
    EXPECT_EQ(used(), 900);
    EXPECT_TRUE(noScratchBodies(service.folder() / "blobs"));
}

TEST_F(ServiceApi, FolderOperationsMoveCopyAndDeleteWholeTreesAndShowInTheChanges) {
    put("/Mobrix/Library/a.zip", "a");
    auto first = json(service.call(token, "POST", "/1/delta")->body);
    EXPECT_TRUE(first.find("reset")->asBool());
    ASSERT_EQ(first.find("entries")->size(), 3u); // two folders and the file
    EXPECT_EQ(CSDeltaEntry::initWithArray((*first.find("entries"))[2])->lowercasePath(),
              "/mobrix/library/a.zip");
    EXPECT_EQ(op("create_folder", {{"path", "/Mobrix/Library"}})->status, 403);
    EXPECT_TRUE(metadataOf(op("move", {{"from_path", "/Mobrix"}, {"to_path", "/Old/Mobrix"}}))
                    ->isDirectory());
    EXPECT_EQ(op("copy", {{"from_path", "/Old"}, {"to_path", "/Old/inside"}})->status, 403);
    EXPECT_EQ(op("copy", {{"from_path", "/Old"}, {"to_path", "/New"}})->status, 200);
    EXPECT_TRUE(metadataOf(op("delete", {{"path", "/Old"}}))->isDeleted());
    EXPECT_EQ(op("delete", {{"path", "/Old"}})->status, 404);
    EXPECT_EQ(get("/New/Mobrix/Library/a.zip")->body, "a");
    EXPECT_EQ(used(), 1);
    const std::string cursor = first.find("cursor")->asString();
    auto next = json(service.call(token, "POST", "/1/delta", {{"cursor", cursor}})->body);
    EXPECT_FALSE(next.find("reset")->asBool());
    std::map<std::string, bool> live; // each changed path once, deletions as null
    for (const auto& entry : next.find("entries")->elements())
        EXPECT_TRUE(live.emplace(entry[0].asString(), !entry[1].isNull()).second);
    EXPECT_FALSE(live.at("/mobrix/library/a.zip"));
    EXPECT_FALSE(live.at("/old/mobrix"));
    EXPECT_TRUE(live.at("/new/mobrix/library/a.zip"));
    EXPECT_EQ(status("POST", "/1/delta", {{"cursor", "zz"}}), 400);
}

TEST_F(ServiceApi, RevisionsSearchAndRestoreFindOldStatesAndNames) {
    auto v1 = metadataOf(put("/Docs/notes.txt", "first"));
    put("/Docs/notes.txt", "second");
    put("/Docs/Notes-old.txt", "o");
    auto list =
        json(service.call(token, "GET", "/1/revisions/cloud/Docs/notes.txt", {{"rev_limit", "5"}})
                 ->body);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(CSMetadata::initWithDictionary(list[1])->rev(), v1->rev());
    EXPECT_EQ(get("/Docs/notes.txt", {{"rev", *v1->rev()}})->body, "first");
    auto restored = metadataOf(
        service.call(token, "GET", "/1/restore/cloud/Docs/notes.txt", {{"rev", *v1->rev()}}));
    ASSERT_TRUE(restored);
    EXPECT_EQ(get("/Docs/notes.txt")->body, "first");
    EXPECT_EQ(status("GET", "/1/restore/cloud/Docs/notes.txt", {{"rev", "abc"}}), 404);
    EXPECT_EQ(status("GET", "/1/revisions/cloud/none.txt"), 404);
    auto found =
        json(service.call(token, "GET", "/1/search/cloud/Docs", {{"query", "NOTES"}})->body);
    EXPECT_EQ(found.size(), 2u);
    EXPECT_EQ(status("GET", "/1/search/cloud/Docs"), 400);
}

TEST_F(ServiceApi, ChunkedUploadsAppendAtTheHeldOffsetAndCountAgainstTheQuota) {
    auto first =
        json(service.upload(token, "/1/chunked_upload", "hello ", {{"offset", "0"}})->body);
    const std::string id = first.find("upload_id")->asString();
    EXPECT_EQ(first.find("offset")->asInt64(), 6);
    // Another account cannot append to it; a misaligned chunk learns the held offset.
    Token other = service.accessToken(service.addAccount("bob", "pw"));
    EXPECT_EQ(service.upload(other, "/1/chunked_upload", "x", {{"upload_id", id}, {"offset", "6"}})
                  ->status,
              404);
    auto misaligned =
        service.upload(token, "/1/chunked_upload", "xx", {{"upload_id", id}, {"offset", "3"}});
    EXPECT_EQ(misaligned->status, 400);
    EXPECT_EQ(json(misaligned->body).find("offset")->asInt64(), 6);
    service.upload(token, "/1/chunked_upload", "world", {{"upload_id", id}, {"offset", "6"}});
    EXPECT_EQ(status("GET", "/1/metadata/cloud/big.bin"), 404);
    auto committed = metadataOf(
        service.call(token, "POST", "/1/commit_chunked_upload/cloud/big.bin", {{"upload_id", id}}));
    ASSERT_TRUE(committed);
    EXPECT_EQ(get("/big.bin")->body, "hello world");
    EXPECT_EQ(status("POST", "/1/commit_chunked_upload/cloud/b2.bin", {{"upload_id", id}}), 400);
    // Unfinished uploads count against the quota together.
    auto second = json(service.upload(token, "/1/chunked_upload", std::string(900, 'o'))->body);
    EXPECT_EQ(service.upload(token, "/1/chunked_upload", std::string(100, 'p'))->status, 507);
    EXPECT_EQ(service
                  .upload(token, "/1/chunked_upload", std::string(90, 'x'),
                          {{"upload_id", second.find("upload_id")->asString()}, {"offset", "900"}})
                  ->status,
              507);
}

TEST_F(ServiceApi, OnlyTheNewestRevisionsAreKeptAndTheOthersBodiesCollected) {
    for (int version = 1; version <= 12; ++version)
        ASSERT_EQ(put("/doc.txt", "version " + std::to_string(version))->status, 200);
    auto list = json(
        service.call(token, "GET", "/1/revisions/cloud/doc.txt", {{"rev_limit", "100"}})->body);
    ASSERT_EQ(list.size(), 10u);
    // Bodies younger than the minimum age stay; past it, the two pruned ones go.
    EXPECT_EQ(service.cloud().collectGarbage(3600), 0u);
    EXPECT_EQ(service.cloud().collectGarbage(-3600), 2u);
    for (const auto& state : list.elements()) {
        auto record = CSMetadata::initWithDictionary(state);
        EXPECT_EQ(get("/doc.txt", {{"rev", *record->rev()}})->body.rfind("version ", 0), 0u);
    }
}
