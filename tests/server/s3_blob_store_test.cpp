// Bodies in an S3-compatible object store: against the stub (which checks
// every signature and body hash on its own), through the store and through
// the whole service.
#include "s3_blob_store.h"
#include "s3_listing.h"
#include "s3_stub.h"
#include "service_harness.h"
#include "sigv4_signer.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace servertest;
namespace fs = std::filesystem;

namespace {

std::string pattern(std::size_t size, char seed) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>(seed + (i * 7 + i / 4096) % 61);
    return body;
}

class S3Store : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(stub.started());
        char name[] = "/tmp/mobrix-s3-scratch-XXXXXX";
        scratch = ::mkdtemp(name);
        std::string error;
        store = server::S3BlobStore::open(stub.url(), settings(S3Stub::kSecretKey), &error);
        ASSERT_TRUE(store) << error;
    }
    void TearDown() override {
        store.reset();
        fs::remove_all(scratch);
    }
    server::BlobStoreSettings settings(const std::string& secret) const {
        return {S3Stub::kAccessKey, secret, "", scratch.string()};
    }
    // Writes the body in pieces and commits it; the address, or "" on failure.
    std::string store_(const std::string& body, std::string* error = nullptr) {
        auto writer = store->create(error);
        for (std::size_t at = 0; writer && at < body.size(); at += 100000)
            EXPECT_TRUE(
                writer->write(body.data() + at, std::min<std::size_t>(100000, body.size() - at)));
        auto address = writer ? writer->commit(error) : std::nullopt;
        return address.value_or("");
    }
    std::string readAll(server::BlobReader& reader, std::size_t piece) {
        std::string out;
        std::vector<char> buffer(piece);
        for (int guard = 0; guard < 10000; ++guard) {
            long n = reader.read(out.size(), buffer.data(), buffer.size());
            if (n <= 0)
                break;
            out.append(buffer.data(), static_cast<std::size_t>(n));
        }
        return out;
    }

    S3Stub stub;
    fs::path scratch;
    std::unique_ptr<server::S3BlobStore> store;
};

} // namespace

TEST_F(S3Store, ABodyGoesUpWholeUnderItsHashAndComesBackByBoundedRanges) {
    const std::string body = pattern(2 * 1024 * 1024 + 12345, 'a');
    const std::string address = store_(body);
    EXPECT_EQ(address, server::sha256Hex(body));
    EXPECT_EQ(stub.objects().at(address).body, body);
    auto reader = store->open(address);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->size(), body.size());
    const int before = stub.gets;
    EXPECT_EQ(readAll(*reader, 256 * 1024), body);
    // Three windows of at most 1 MiB, whatever the size of the body.
    EXPECT_EQ(stub.gets - before, 3);
    EXPECT_LE(stub.largestRange.load(), server::S3BlobStore::kReadWindow);
    // Reading backwards refetches; reading past the end gives nothing.
    char c = 0;
    EXPECT_EQ(reader->read(5, &c, 1), 1);
    EXPECT_EQ(c, body[5]);
    EXPECT_EQ(reader->read(body.size(), &c, 1), 0);
    // An empty body is a body too.
    const std::string empty = store_("");
    ASSERT_EQ(empty, server::sha256Hex(""));
    ASSERT_TRUE(store->open(empty));
    EXPECT_EQ(store->open(empty)->size(), 0u);
    EXPECT_FALSE(store->open(server::sha256Hex("never stored")));
    EXPECT_FALSE(store->open("../etc/passwd"));
    EXPECT_EQ(stub.refusedSignatures, 0);
    EXPECT_TRUE(fs::is_empty(scratch));
}

TEST_F(S3Store, ADroppedWriterOrARefusedUploadLeavesNothing) {
    {
        auto writer = store->create(nullptr);
        ASSERT_TRUE(writer && writer->write("half a body", 11));
    }
    EXPECT_TRUE(stub.objects().empty());
    stub.failPuts = true;
    std::string error;
    EXPECT_EQ(store_("refused", &error), "");
    EXPECT_NE(error.find("500"), std::string::npos) << error;
    EXPECT_TRUE(stub.objects().empty());
    EXPECT_TRUE(fs::is_empty(scratch));
}

TEST_F(S3Store, TheCollectorSeesOnlyOldBodiesAcrossPagesAndRemovesThem) {
    stub.pageSize = 2;
    std::vector<std::string> old;
    for (char seed : {'a', 'b', 'c', 'd', 'e'})
        old.push_back(store_(pattern(100, seed)));
    stub.put("not-a-body", "x");
    stub.age(1700000000);
    const std::string fresh = store_("fresh");
    std::vector<std::string> seen;
    store->forEachOlderThan(1700000001, [&](const std::string& a) { seen.push_back(a); });
    std::sort(seen.begin(), seen.end());
    std::sort(old.begin(), old.end());
    EXPECT_EQ(seen, old);
    EXPECT_TRUE(store->remove(old[0]));
    EXPECT_FALSE(store->open(old[0]));
    EXPECT_TRUE(store->open(fresh));
    EXPECT_FALSE(store->remove("not-a-body"));
    EXPECT_EQ(stub.objects().count("not-a-body"), 1u);
}

TEST_F(S3Store, WrongKeysBadUrlsAndMissingKeysAreRefusedAtOpenWithoutTheSecret) {
    std::string error;
    EXPECT_FALSE(server::S3BlobStore::open(stub.url(), settings("wrong-secret-value"), &error));
    EXPECT_NE(error.find("403"), std::string::npos) << error;
    EXPECT_EQ(error.find("wrong-secret-value"), std::string::npos);
    EXPECT_GT(stub.refusedSignatures, 0);
    for (const std::string url :
         {"s3://Bad_Bucket?endpoint=http://127.0.0.1:1", "s3://bucket?endpoint=ftp://host",
          "s3://bucket?endpoint=http://host/path", "s3://bucket?color=blue", "s3://bucket"}) {
        error.clear();
        EXPECT_FALSE(server::S3BlobStore::open(url, settings(S3Stub::kSecretKey), &error)) << url;
        EXPECT_NE(error.find("s3://BUCKET"), std::string::npos) << url << ": " << error;
    }
    EXPECT_FALSE(server::S3BlobStore::open(stub.url(), settings(""), &error));
    EXPECT_NE(error.find("s3_secret_key"), std::string::npos);
    auto location = server::parseS3Url(
        "s3://bodies?endpoint=https%3A%2F%2Fstore.home.test%3A9443%2F&region=x-1", &error);
    ASSERT_TRUE(location) << error;
    EXPECT_EQ(location->endpoint, "https://store.home.test:9443");
    EXPECT_EQ(location->authority, "store.home.test:9443");
    EXPECT_EQ(location->region, "x-1");
}

TEST(S3Listing, APageGivesKeysTimesAndTheNextTokenUnescaped) {
    auto page = server::parseS3Listing(
        "<ListBucketResult><Contents><Key>a&amp;b</Key><LastModified>2023-11-14T22:13:20.000Z"
        "</LastModified></Contents><IsTruncated>true</IsTruncated>"
        "<NextContinuationToken>t&lt;1</NextContinuationToken></ListBucketResult>");
    ASSERT_TRUE(page);
    ASSERT_EQ(page->objects.size(), 1u);
    EXPECT_EQ(page->objects[0].first, "a&b");
    EXPECT_EQ(page->objects[0].second, 1700000000);
    EXPECT_EQ(page->next, "t<1");
    EXPECT_FALSE(server::parseS3Listing("<Error><Code>AccessDenied</Code></Error>"));
    EXPECT_FALSE(server::parseS3Listing("<ListBucketResult><IsTruncated>true</IsTruncated>"
                                        "</ListBucketResult>"));
}

TEST(S3Service, TheServiceKeepsBodiesInTheBucketAndCollectsThem) {
    S3Stub stub;
    ASSERT_TRUE(stub.started());
    ServiceHarness service(true, {}, {}, [&](server::ServerConfig& c) {
        c.blobs = stub.url();
        c.s3AccessKey = S3Stub::kAccessKey;
        c.s3SecretKey = S3Stub::kSecretKey;
        c.keepRevisions = 1;
    });
    ASSERT_TRUE(service.started());
    Token token = service.accessToken(service.addAccount("ann", "pw"));
    const std::string first = pattern(1500000, 'a'), second = pattern(1000, 'b');
    auto up = service.upload(token, "/1/files_put/cloud/Mobrix/a.zip", first);
    ASSERT_TRUE(up);
    EXPECT_EQ(up->status, 200) << up->body;
    auto down = service.call(token, "GET", "/1/files/cloud/Mobrix/a.zip");
    ASSERT_TRUE(down);
    EXPECT_TRUE(down->body == first) << down->body.size();
    EXPECT_EQ(stub.objects().count(server::sha256Hex(first)), 1u);
    ASSERT_EQ(service.upload(token, "/1/files_put/cloud/Mobrix/a.zip", second)->status, 200);
    // The first body is no longer referred to; once old enough it goes.
    EXPECT_EQ(service.cloud().collectGarbage(3600), 0u);
    stub.age(std::time(nullptr) - 7200);
    EXPECT_EQ(service.cloud().collectGarbage(3600), 1u);
    EXPECT_EQ(stub.objects().size(), 1u);
    EXPECT_EQ(service.call(token, "GET", "/1/files/cloud/Mobrix/a.zip")->body, second);
    EXPECT_EQ(stub.refusedSignatures, 0);
}
