// Bodies in an S3-compatible object store, against the stub (which checks
// every signature and body hash on its own).
#include "s3_blob_store.h"
#include "s3_stub.h"
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
        std::string error;
        store = server::S3BlobStore::open(stub.url(), settings(S3Stub::kSecretKey), &error);
        ASSERT_TRUE(store) << error;
    }
    void TearDown() override { fs::remove_all(scratch); }
    server::BlobStoreSettings settings(const std::string& secret) const {
        return {S3Stub::kAccessKey, secret, "", scratch.string()};
    }
    // Writes the body in pieces and commits it; the address, or "" on failure.
    std::string put(const std::string& body, std::string* error = nullptr) {
        auto writer = store->create(error);
        for (std::size_t at = 0; writer && at < body.size(); at += 100000)
            EXPECT_TRUE(
                writer->write(body.data() + at, std::min<std::size_t>(100000, body.size() - at)));
        return (writer ? writer->commit(error) : std::nullopt).value_or("");
    }

    S3Stub stub;
    char name[32] = "/tmp/mobrix-s3-scratch-XXXXXX";
    fs::path scratch = ::mkdtemp(name);
    std::unique_ptr<server::S3BlobStore> store;
};

} // namespace

TEST_F(S3Store, ABodyGoesUpWholeUnderItsHashAndComesBackByBoundedRanges) {
    const std::string body = pattern(2 * 1024 * 1024 + 12345, 'a');
    const std::string address = put(body);
    EXPECT_EQ(address, server::sha256Hex(body));
    EXPECT_EQ(stub.objects().at(address), body);
    auto reader = store->open(address);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->size(), body.size());
    std::string back(body.size(), '\0');
    for (std::size_t at = 0; at < back.size();) {
        const long n =
            reader->read(at, back.data() + at, std::min<std::size_t>(256 * 1024, back.size() - at));
        ASSERT_GT(n, 0);
        at += static_cast<std::size_t>(n);
    }
    EXPECT_TRUE(back == body);
    // Three windows of at most 1 MiB, whatever the size of the body.
    EXPECT_EQ(stub.gets, 3);
    EXPECT_LE(stub.largestRange.load(), server::S3BlobStore::kReadWindow);
    EXPECT_FALSE(store->open("../etc/passwd"));
    // A dropped writer and a refused upload leave nothing in the bucket or the scratch folder.
    {
        auto dropped = store->create(nullptr);
        ASSERT_TRUE(dropped && dropped->write("half a body", 11));
    }
    stub.failPuts = true;
    std::string error;
    EXPECT_EQ(put("refused", &error), "");
    EXPECT_NE(error.find("500"), std::string::npos) << error;
    EXPECT_EQ(stub.objects().size(), 1u);
    EXPECT_EQ(stub.refusedSignatures, 0);
    EXPECT_TRUE(fs::is_empty(scratch));
}

TEST_F(S3Store, AWrongSecretIsRefusedAtOpenWithoutNamingIt) {
    std::string error;
    EXPECT_FALSE(server::S3BlobStore::open(stub.url(), settings("wrong-secret-value"), &error));
    EXPECT_NE(error.find("403"), std::string::npos) << error;
    EXPECT_EQ(error.find("wrong-secret-value"), std::string::npos);
    EXPECT_GT(stub.refusedSignatures, 0);
    EXPECT_FALSE(
        server::S3BlobStore::open("s3://bucket?endpoint=ftp://host", settings("s"), &error));
    EXPECT_NE(error.find("s3://BUCKET"), std::string::npos) << error;
}
