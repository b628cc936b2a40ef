// The operations as the client reads them: records, error bodies, quotas,
// bad paths, folders and changes, over HTTPS on the loopback. (The client
// library's own tests run against this service too.)
#include "cs_delta_entry.h"
#include "service_harness.h"

#include <gtest/gtest.h>

#include <map>

using namespace servertest;

namespace {

class ServiceApi : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.started()); }

    httplib::Result put(const std::string& path, const std::string& body, const Params& p = {}) {
        return service.upload(token, "/1/files_put/cloud" + path, body, p);
    }
    httplib::Result get(const std::string& path, const Params& p = {}) {
        return service.call(token, "GET", "/1/files/cloud" + path, p);
    }
    int status(const std::string& method, const std::string& path, const Params& p = {}) {
        auto r = service.call(token, method, path, p);
        return r ? r->status : 0;
    }
    httplib::Result op(const std::string& name, Params p) {
        p.emplace_back("root", "cloud");
        return service.call(token, "POST", "/1/fileops/" + name, p);
    }
    std::optional<CSAccountInfo> info() {
        return CSAccountInfo::initWithDictionary(
            json(service.call(token, "GET", "/1/account/info")->body));
    }
    std::int64_t used() { return info() ? info()->quota()->normalConsumedBytes() : -1; }

    ServiceHarness service;
    Token token = service.account("ann", 1000);
};

} // namespace

TEST_F(ServiceApi, AnUploadComesBackAsARecordAndItsDownloadCarriesIt) {
    auto record = metadataOf(put("/Mobrix/notes.zip", "notes v1"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->path(), "/Mobrix/notes.zip");
    EXPECT_EQ(record->totalBytes(), 8);
    auto down = get("/MOBRIX/Notes.ZIP");
    EXPECT_EQ(down->body, "notes v1");
    EXPECT_EQ(down->get_header_value("Etag"), *record->rev());
    auto header = CSMetadata::initWithDictionary(json(down->get_header_value("X-Cloud-Metadata")));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->path(), "/Mobrix/notes.zip");
    // The same bytes again change nothing; other bytes make a new revision.
    EXPECT_EQ(metadataOf(put("/Mobrix/notes.zip", "notes v1"))->rev(), record->rev());
    EXPECT_NE(metadataOf(put("/Mobrix/notes.zip", "notes v2"))->rev(), record->rev());
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

// The refusals themselves are the path parser's; here one of each reaches the answer.
TEST_F(ServiceApi, BadPathsAre400WithAnErrorBodyAndStoreNothing) {
    auto traversal = service.upload(token, "/1/files_put/cloud/a/%2E%2E/b", "body");
    EXPECT_EQ(traversal->status, 400);
    EXPECT_NE(errorOf(traversal).find("path"), std::string::npos);
    EXPECT_EQ(op("create_folder", {{"path", "/a/../../b"}})->status, 400);
    EXPECT_EQ(op("delete", {{"path", "/"}})->status, 403);
    EXPECT_EQ(status("POST", "/1/fileops/delete", {{"root", "sandbox"}, {"path", "/x"}}), 400);
    EXPECT_EQ(metadataOf(service.call(token, "GET", "/1/metadata/cloud/"))->contents()->size(), 0u);
}

TEST_F(ServiceApi, WhatGoesOverTheQuotaIs507AndLeavesNothing) {
    ASSERT_TRUE(metadataOf(put("/one.bin", std::string(600, 'a'))));
    EXPECT_EQ(info()->userId(), token.uid);
    EXPECT_EQ(info()->quota()->totalBytes(), 1000);
    auto over = put("/two.bin", std::string(500, 'b'));
    EXPECT_EQ(over->status, 507);
    EXPECT_FALSE(errorOf(over).empty());
    EXPECT_EQ(status("GET", "/1/metadata/cloud/two.bin"), 404);
    // Replacing a file counts only the difference; a copy counts whole.
    EXPECT_TRUE(metadataOf(put("/one.bin", std::string(900, 'c'))));
    EXPECT_EQ(op("copy", {{"from_path", "/one.bin"}, {"to_path", "/copy.bin"}})->status, 507);
    EXPECT_EQ(used(), 900);
    // Unfinished chunked uploads count too; another account cannot append to one.
    auto chunk = json(service.upload(token, "/1/chunked_upload", std::string(90, 'o'))->body);
    const std::string id = chunk.find("upload_id")->asString();
    EXPECT_EQ(service.upload(token, "/1/chunked_upload", std::string(20, 'p'))->status, 507);
    Token other = service.account("bob");
    EXPECT_EQ(
        service.upload(other, "/1/chunked_upload", "x", {{"upload_id", id}, {"offset", "90"}})
            ->status,
        404);
    EXPECT_TRUE(noScratchBodies(service.folder() / "blobs"));
}

TEST_F(ServiceApi, FolderOperationsAndTheirChangesReadAsTheClientReadsThem) {
    put("/Mobrix/Library/a.zip", "a");
    auto first = json(service.call(token, "POST", "/1/delta")->body);
    EXPECT_TRUE(first.find("reset")->asBool());
    ASSERT_EQ(first.find("entries")->size(), 3u); // two folders and the file
    EXPECT_EQ(CSDeltaEntry::initWithArray((*first.find("entries"))[2])->lowercasePath(),
              "/mobrix/library/a.zip");
    EXPECT_TRUE(
        metadataOf(op("move", {{"from_path", "/Mobrix"}, {"to_path", "/Old"}}))->isDirectory());
    EXPECT_EQ(op("copy", {{"from_path", "/Old"}, {"to_path", "/Old/inside"}})->status, 403);
    EXPECT_TRUE(metadataOf(op("delete", {{"path", "/Old"}}))->isDeleted());
    const std::string cursor = first.find("cursor")->asString();
    auto next = json(service.call(token, "POST", "/1/delta", {{"cursor", cursor}})->body);
    EXPECT_FALSE(next.find("reset")->asBool());
    std::map<std::string, bool> live; // each changed path once, deletions as null
    for (const auto& entry : next.find("entries")->elements())
        EXPECT_TRUE(live.emplace(entry[0].asString(), !entry[1].isNull()).second);
    EXPECT_FALSE(live.at("/mobrix/library/a.zip"));
    EXPECT_FALSE(live.at("/old/library/a.zip"));
    EXPECT_EQ(status("POST", "/1/delta", {{"cursor", "zz"}}), 400);
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
