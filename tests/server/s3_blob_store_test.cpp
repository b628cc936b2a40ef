// Bodies in an S3-compatible object store, against the stub (which checks
// every signature and body hash on its own).
#include "s3_blob_store.h"
#include "s3_stub.h"
#include "sigv4_signer.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace servertest;
namespace fs = std::filesystem;

TEST(S3Store, ABodyGoesUpWholeUnderItsHashComesBackByBoundedRangesAndFailuresLeaveNothing) {
    S3Stub stub;
    ASSERT_TRUE(stub.started());
    char name[] = "/tmp/mobrix-s3-scratch-XXXXXX";
    const fs::path scratch = ::mkdtemp(name);
    auto settings = [&](const std::string& secret) {
        return server::BlobStoreSettings{S3Stub::kAccessKey, secret, "", scratch.string()};
    };
    std::string error;
    // A wrong secret is refused at open, and the error does not name it.
    EXPECT_FALSE(server::S3BlobStore::open(stub.url(), settings("wrong-secret-value"), &error));
    EXPECT_NE(error.find("403"), std::string::npos) << error;
    EXPECT_EQ(error.find("wrong-secret-value"), std::string::npos);
    EXPECT_GT(stub.refusedSignatures.exchange(0), 0);
    auto store = server::S3BlobStore::open(stub.url(), settings(S3Stub::kSecretKey), &error);
    ASSERT_TRUE(store) << error;
    auto put = [&](const std::string& body) {
        auto writer = store->create(&error);
        for (std::size_t at = 0; writer && at < body.size(); at += 100000)
            EXPECT_TRUE(
                writer->write(body.data() + at, std::min<std::size_t>(100000, body.size() - at)));
        return (writer ? writer->commit(&error) : std::nullopt).value_or("");
    };

    std::string body(2 * 1024 * 1024 + 12345, '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 61);
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
    ASSERT_TRUE(store->create(nullptr)->write("half a body", 11));
    stub.failPuts = true;
    EXPECT_EQ(put("refused"), "");
    EXPECT_NE(error.find("500"), std::string::npos) << error;
    EXPECT_EQ(stub.objects().size(), 1u);
    EXPECT_EQ(stub.refusedSignatures, 0);
    EXPECT_TRUE(fs::is_empty(scratch));
    fs::remove_all(scratch);
}
