// The operations as the client reads them: records, hashes, error bodies,
// quotas and bad paths, over HTTPS on the loopback.
#include "cs_delta_entry.h"
#include "service_harness.h"

#include <gtest/gtest.h>

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
    httplib::Result meta(const std::string& path, const Params& p = {}) {
        return service.call(token, "GET", "/1/metadata/cloud" + escapedPath(path), p);
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

TEST_F(ServiceApi, AnUploadComesBackWithItsTagAndMetadataHeader) {
    auto up = put("/Mobrix/Library/Notes.zip", "notes v1");
    // Names beyond ASCII travel escaped and come back in the header intact.
    auto accented = metadataOf(put("/Mobrix/Été ü+#.zip", "é"));
    ASSERT_TRUE(accented);
    EXPECT_EQ(accented->path(), "/Mobrix/Été ü+#.zip");
    auto accentedDown = get("/Mobrix/Été ü+#.zip");
    EXPECT_EQ(accentedDown->body, "é");
    EXPECT_EQ(
        CSMetadata::initWithDictionary(json(accentedDown->get_header_value("X-Cloud-Metadata")))
            ->path(),
        "/Mobrix/Été ü+#.zip");
    auto record = metadataOf(up);
    ASSERT_TRUE(record) << (up ? up->body : "no answer");
    EXPECT_EQ(record->path(), "/Mobrix/Library/Notes.zip");
    EXPECT_EQ(record->totalBytes(), 8);
    EXPECT_FALSE(record->isDirectory());
    EXPECT_EQ(record->root(), "cloud");
    EXPECT_TRUE(record->lastModifiedDate());

    auto down = get("/mobrix/library/NOTES.zip");
    ASSERT_TRUE(down);
    EXPECT_EQ(down->status, 200);
    EXPECT_EQ(down->body, "notes v1");
    EXPECT_EQ(down->get_header_value("Etag"), *record->rev());
    auto header = CSMetadata::initWithDictionary(json(down->get_header_value("X-Cloud-Metadata")));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->totalBytes(), 8);
    EXPECT_EQ(header->rev(), record->rev());

    // The same bytes again change nothing; other bytes make a new revision.
    EXPECT_EQ(metadataOf(put("/Mobrix/Library/Notes.zip", "notes v1"))->rev(), record->rev());
    auto second = metadataOf(put("/Mobrix/Library/Notes.zip", "notes v2"));
    EXPECT_NE(second->rev(), record->rev());
    EXPECT_EQ(get("/Mobrix/Library/Notes.zip")->body, "notes v2");
    EXPECT_EQ(get("/Mobrix/Library/None.zip")->status, 404);
    EXPECT_EQ(get("/Mobrix/Library")->status, 404);
}

TEST_F(ServiceApi, ConflictingUploadsAreKeptUnderAnotherName) {
    auto first = metadataOf(put("/a.txt", "one"));
    ASSERT_TRUE(first);
    EXPECT_EQ(metadataOf(put("/a.txt", "two", {{"overwrite", "false"}}))->path(), "/a (1).txt");
    EXPECT_EQ(metadataOf(put("/a.txt", "three", {{"parent_rev", "ffff"}}))->path(), "/a (2).txt");
    EXPECT_EQ(metadataOf(put("/a.txt", "four", {{"parent_rev", *first->rev()}}))->path(), "/a.txt");
    EXPECT_EQ(get("/a.txt")->body, "four");
    // A file cannot stand where a folder is, nor under a file.
    EXPECT_EQ(op("create_folder", {{"path", "/dir"}})->status, 200);
    EXPECT_EQ(put("/dir", "x")->status, 403);
    EXPECT_EQ(put("/a.txt/inner", "x")->status, 403);
}

TEST_F(ServiceApi, AListingHasAHashThatAnswers304UntilItChanges) {
    put("/Mobrix/b.zip", "b");
    put("/Mobrix/a.zip", "a");
    auto listing = metadataOf(meta("/Mobrix"));
    ASSERT_TRUE(listing);
    ASSERT_TRUE(listing->contents());
    ASSERT_EQ(listing->contents()->size(), 2u);
    EXPECT_EQ(listing->contents()->at(0).filename(), "a.zip");
    ASSERT_TRUE(listing->hash());

    auto same = meta("/Mobrix", {{"hash", *listing->hash()}});
    EXPECT_EQ(same->status, 304);
    put("/Mobrix/a.zip", "a2");
    auto changed = metadataOf(meta("/Mobrix", {{"hash", *listing->hash()}}));
    ASSERT_TRUE(changed);
    EXPECT_NE(changed->hash(), listing->hash());
    EXPECT_FALSE(metadataOf(meta("/Mobrix", {{"list", "false"}}))->contents());
    auto missing = meta("/Nothing");
    EXPECT_EQ(missing->status, 404);
    EXPECT_NE(errorOf(missing).find("/Nothing"), std::string::npos);
}

TEST_F(ServiceApi, BadPathsAre400WithAnErrorBody) {
    auto c = service.client();
    const std::vector<std::string> paths = {
        "/1/files_put/cloud/a/%2E%2E/b", "/1/files_put/cloud/a%00b",
        "/1/files_put/cloud/" + std::string(300, 'n'), "/1/metadata/cloud/..",
        "/1/files/cloud/x/../../etc/passwd"};
    for (const auto& path : paths) {
        auto result = path.find("files_put") != std::string::npos
                          ? service.upload(token, path, "body")
                          : service.call(token, "GET", path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(result->status, 400) << path;
        EXPECT_NE(errorOf(result).find("path"), std::string::npos) << path;
    }
    auto viaParameter = op("create_folder", {{"path", "/a/../../b"}});
    EXPECT_EQ(viaParameter->status, 400);
    EXPECT_EQ(op("create_folder", {{"path", std::string("/a\0b", 4)}})->status, 400);
    EXPECT_EQ(used(), 0);
    EXPECT_EQ(metadataOf(meta("/"))->contents()->size(), 0u);
}

TEST_F(ServiceApi, QuotaIsAnsweredAndAnUploadOverItIs507WithNothingStored) {
    ASSERT_TRUE(metadataOf(put("/one.bin", std::string(600, 'a'))));
    auto info = CSAccountInfo::initWithDictionary(
        json(service.call(token, "GET", "/1/account/info")->body));
    ASSERT_TRUE(info && info->quota());
    EXPECT_EQ(info->userId(), std::to_string(uid));
    EXPECT_EQ(info->displayName(), "User ann");
    EXPECT_EQ(info->quota()->totalBytes(), 1000);
    EXPECT_EQ(info->quota()->normalConsumedBytes(), 600);

    auto over = put("/two.bin", std::string(500, 'b'));
    ASSERT_TRUE(over);
    EXPECT_EQ(over->status, 507);
    EXPECT_FALSE(errorOf(over).empty());
    EXPECT_EQ(meta("/two.bin")->status, 404);
    EXPECT_EQ(used(), 600);
    // Replacing a file counts only the difference; a copy counts whole.
    EXPECT_TRUE(metadataOf(put("/one.bin", std::string(900, 'c'))));
    EXPECT_EQ(op("copy", {{"from_path", "/one.bin"}, {"to_path", "/copy.bin"}})->status, 507);
    EXPECT_EQ(used(), 900);
    // Nothing of the refused bodies stays in the body store's scratch folder.
    EXPECT_TRUE(noScratchBodies(service.folder() / "blobs"));
}

TEST_F(ServiceApi, FolderOperationsMoveCopyAndDeleteWholeTrees) {
    EXPECT_EQ(op("create_folder", {{"path", "/Mobrix/Library"}})->status, 200);
    auto again = op("create_folder", {{"path", "/Mobrix/Library"}});
    EXPECT_EQ(again->status, 403);
    EXPECT_NE(errorOf(again).find("already exists"), std::string::npos);
    put("/Mobrix/Library/a.zip", "a");
    auto moved = metadataOf(op("move", {{"from_path", "/Mobrix"}, {"to_path", "/Old/Mobrix"}}));
    ASSERT_TRUE(moved);
    EXPECT_TRUE(moved->isDirectory());
    EXPECT_EQ(get("/Old/Mobrix/Library/a.zip")->body, "a");
    EXPECT_EQ(meta("/Mobrix")->status, 404);
    EXPECT_EQ(op("copy", {{"from_path", "/Old"}, {"to_path", "/Old/inside"}})->status, 403);
    EXPECT_EQ(op("copy", {{"from_path", "/Old"}, {"to_path", "/New"}})->status, 200);
    EXPECT_EQ(get("/New/Mobrix/Library/a.zip")->body, "a");

    auto deleted = metadataOf(op("delete", {{"path", "/Old"}}));
    ASSERT_TRUE(deleted);
    EXPECT_TRUE(deleted->isDeleted());
    EXPECT_EQ(get("/Old/Mobrix/Library/a.zip")->status, 404);
    EXPECT_EQ(op("delete", {{"path", "/Old"}})->status, 404);
    EXPECT_EQ(op("delete", {{"path", "/"}})->status, 403);
    EXPECT_EQ(used(), 1);
    auto badRoot =
        service.call(token, "POST", "/1/fileops/delete", {{"root", "sandbox"}, {"path", "/New"}});
    EXPECT_EQ(badRoot->status, 400);
}

TEST_F(ServiceApi, DeltaGivesEveryChangeOnceAndDeletionsAsNull) {
    put("/Mobrix/a.zip", "a");
    auto first = json(service.call(token, "POST", "/1/delta")->body);
    EXPECT_TRUE(first.find("reset")->asBool());
    EXPECT_FALSE(first.find("has_more")->asBool());
    ASSERT_EQ(first.find("entries")->size(), 2u); // the folder and the file
    auto entry = CSDeltaEntry::initWithArray((*first.find("entries"))[1]);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->lowercasePath(), "/mobrix/a.zip");
    const std::string cursor = first.find("cursor")->asString();

    op("delete", {{"path", "/Mobrix/a.zip"}});
    put("/Mobrix/B.zip", "b");
    auto next = json(service.call(token, "POST", "/1/delta", {{"cursor", cursor}})->body);
    EXPECT_FALSE(next.find("reset")->asBool());
    const auto& entries = *next.find("entries");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0][0].asString(), "/mobrix/a.zip");
    EXPECT_TRUE(entries[0][1].isNull());
    EXPECT_EQ(entries[1][0].asString(), "/mobrix/b.zip");
    auto none =
        json(service.call(token, "POST", "/1/delta", {{"cursor", next.find("cursor")->asString()}})
                 ->body);
    EXPECT_EQ(none.find("entries")->size(), 0u);
    EXPECT_EQ(service.call(token, "POST", "/1/delta", {{"cursor", "zz"}})->status, 400);
}

TEST_F(ServiceApi, RevisionsListOldStatesAndRestoreBringsOneBack) {
    auto v1 = metadataOf(put("/doc.txt", "first"));
    put("/doc.txt", "second");
    auto list =
        json(service.call(token, "GET", "/1/revisions/cloud/doc.txt", {{"rev_limit", "5"}})->body);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(CSMetadata::initWithDictionary(list[1])->rev(), v1->rev());
    EXPECT_EQ(get("/doc.txt", {{"rev", *v1->rev()}})->body, "first");

    auto restored =
        metadataOf(service.call(token, "GET", "/1/restore/cloud/doc.txt", {{"rev", *v1->rev()}}));
    ASSERT_TRUE(restored);
    EXPECT_NE(restored->rev(), v1->rev());
    EXPECT_EQ(get("/doc.txt")->body, "first");
    EXPECT_EQ(service.call(token, "GET", "/1/restore/cloud/doc.txt", {{"rev", "abc"}})->status,
              404);
    EXPECT_EQ(service.call(token, "GET", "/1/revisions/cloud/none.txt")->status, 404);
}

TEST_F(ServiceApi, SearchFindsNamesBelowThePathInAnyCase) {
    put("/Mobrix/Library/Notes.zip", "n");
    put("/Mobrix/Library/notes-old.txt", "o");
    put("/Other/notes.zip", "x");
    auto found =
        json(service.call(token, "GET", "/1/search/cloud/Mobrix", {{"query", "NOTES"}})->body);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(CSMetadata::initWithDictionary(found[0])->path(), "/Mobrix/Library/notes-old.txt");
    EXPECT_EQ(service.call(token, "GET", "/1/search/cloud/Mobrix")->status, 400);
}

TEST_F(ServiceApi, ChunkedUploadsAppendAtTheAcknowledgedOffsetAndCommitWhole) {
    auto firstChunk = service.upload(token, "/1/chunked_upload", "hello ", {{"offset", "0"}});
    ASSERT_TRUE(firstChunk);
    ASSERT_EQ(firstChunk->status, 200) << firstChunk->body;
    auto answer = json(firstChunk->body);
    const std::string id = answer.find("upload_id")->asString();
    EXPECT_EQ(answer.find("offset")->asInt64(), 6);
    EXPECT_FALSE(answer.find("expires")->asString().empty());

    // Another account cannot append to it.
    Token other = service.accessToken(service.addAccount("bob", "pw"));
    EXPECT_EQ(service.upload(other, "/1/chunked_upload", "x", {{"upload_id", id}, {"offset", "6"}})
                  ->status,
              404);
    auto misaligned =
        service.upload(token, "/1/chunked_upload", "xx", {{"upload_id", id}, {"offset", "3"}});
    EXPECT_EQ(misaligned->status, 400);
    EXPECT_EQ(json(misaligned->body).find("offset")->asInt64(), 6);
    // A chunk sent again after a lost answer is refused the same way, so the
    // client resumes from the offset the service holds.
    EXPECT_EQ(
        service.upload(token, "/1/chunked_upload", "world", {{"upload_id", id}, {"offset", "6"}})
            ->status,
        200);
    EXPECT_EQ(meta("/big.bin")->status, 404);
    auto committed =
        metadataOf(service.call(token, "POST", "/1/commit_chunked_upload/cloud/big.bin",
                                {{"upload_id", id}, {"overwrite", "false"}}));
    ASSERT_TRUE(committed);
    EXPECT_EQ(committed->totalBytes(), 11);
    EXPECT_EQ(get("/big.bin")->body, "hello world");
    // Unfinished uploads count against the quota together.
    auto second = json(service.upload(token, "/1/chunked_upload", std::string(900, 'o'))->body);
    const std::string secondId = second.find("upload_id")->asString();
    EXPECT_EQ(service.upload(token, "/1/chunked_upload", std::string(100, 'p'))->status, 507);
    EXPECT_EQ(service
                  .upload(token, "/1/chunked_upload", std::string(90, 'x'),
                          {{"upload_id", secondId}, {"offset", "900"}})
                  ->status,
              507);
    EXPECT_EQ(
        service.call(token, "POST", "/1/commit_chunked_upload/cloud/big2.bin", {{"upload_id", id}})
            ->status,
        400);
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
        auto body = get("/doc.txt", {{"rev", *record->rev()}});
        EXPECT_EQ(body->status, 200);
        EXPECT_EQ(body->body.rfind("version ", 0), 0u);
    }
    EXPECT_EQ(get("/doc.txt")->body, "version 12");
}
