// The namespace's rules on each metadata store: SQLite always, PostgreSQL
// when Debian's server is installed (started here in a temporary folder).
#include "cloud_namespace.h"
#include "temporary_postgres.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

using server::ApiAnswer;
using server::CloudNamespace;
using server::parseRemotePath;
using servertest::TemporaryPostgres;

namespace {

TemporaryPostgres& postgres() {
    static TemporaryPostgres server;
    return server;
}

server::RemotePath p(const std::string& text) {
    return *parseRemotePath(text, nullptr);
}

class StoreConformance : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        static int databases = 0;
        if (GetParam() == "postgresql") {
            if (!postgres().problem().empty())
                GTEST_SKIP() << "PostgreSQL store not tested: " << postgres().problem();
            url = postgres().newDatabase("conformance" + std::to_string(++databases));
            ASSERT_FALSE(url.empty());
        } else {
            char pattern[] = "/tmp/mobrix-store-XXXXXX";
            folder = ::mkdtemp(pattern);
            url = "sqlite:" + (folder / "metadata.db").string();
        }
        std::string error;
        store = server::openMetadataStore(url, &error);
        ASSERT_TRUE(store) << error;
        files = std::make_unique<CloudNamespace>(*store, [] { return std::int64_t{1700000000}; });
        store->transact(
            [&](server::MetadataTxn& txn) {
                uid = txn.addAccount({0, "ann", "Ann", "ann@home.test", "x", 1500, 0});
                return true;
            },
            nullptr);
    }
    void TearDown() override {
        files.reset();
        store.reset();
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }

    std::string pathOf(const ApiAnswer& answer) {
        auto* path = answer.body.find("path");
        return path ? path->asString() : "status " + std::to_string(answer.status);
    }

    std::filesystem::path folder;
    std::string url;
    std::unique_ptr<server::MetadataStore> store;
    std::unique_ptr<CloudNamespace> files;
    std::int64_t uid = 0;
};

} // namespace

TEST_P(StoreConformance, FilesFoldersQuotaAndChangesFollowTheSameRules) {
    EXPECT_EQ(pathOf(files->putFile(uid, p("/Mobrix/Lib/a.zip"), "blob-a", 100, {})),
              "/Mobrix/Lib/a.zip");
    EXPECT_EQ(pathOf(files->putFile(uid, p("/mobrix/lib/A.zip"), "blob-b", 100, {false, {}})),
              "/mobrix/lib/A (1).zip");
    EXPECT_EQ(files->putFile(uid, p("/Mobrix/big"), "blob-c", 1400, {}).status, 507);
    // Keys sort bytewise whatever the database's collation.
    EXPECT_EQ(files->putFile(uid, p("/Mobrix/Lib/_x.zip"), "blob-e", 1, {}).status, 200);
    auto listing = files->metadata(uid, p("/Mobrix/Lib"), "", true, "");
    EXPECT_EQ((*listing.body.find("contents"))[0].find("path")->asString(), "/Mobrix/Lib/_x.zip");

    auto first = files->delta(uid, "");
    EXPECT_EQ(first.body.find("entries")->size(), 5u);
    EXPECT_EQ(files->moveOrCopy(uid, p("/Mobrix"), p("/Old"), true).status, 200);
    // Five entries left their old paths and five arrived at new ones.
    EXPECT_EQ(files->delta(uid, first.body.find("cursor")->asString()).body.find("entries")->size(),
              10u);
    EXPECT_EQ(files->remove(uid, p("/Old/Lib")).status, 200);
    EXPECT_EQ(files->accountInfo(uid).body.find("quota_info")->find("normal")->asInt64(), 0);
    EXPECT_EQ(files->revisions(uid, p("/Old/Lib/a.zip"), 10).body.size(), 2u);

    server::ChunkedUpload upload;
    ASSERT_TRUE(files->startOrCheckUpload(uid, "", 0, 10, &upload).ok());
    EXPECT_FALSE(files->takeUpload(uid + 1, upload.id));
    // What the collector reads: the bodies still referred to, the expired uploads.
    std::vector<std::string> referenced, expired;
    store->transact(
        [&](server::MetadataTxn& txn) {
            referenced = txn.referencedBlobs();
            expired = txn.expireUploads(1700000000 + 3 * CloudNamespace::kUploadLifetime);
            return true;
        },
        nullptr);
    std::sort(referenced.begin(), referenced.end());
    EXPECT_EQ(referenced, (std::vector<std::string>{"blob-a", "blob-b", "blob-e"}));
    EXPECT_EQ(expired, std::vector<std::string>{upload.id});
    EXPECT_FALSE(files->takeUpload(uid, upload.id));
}

// A second connection stands for a second service process.
TEST_P(StoreConformance, ProcessesSharingTheStoreKeepTheQuotaChangeNumbersAndNonces) {
    std::string error;
    auto otherStore = server::openMetadataStore(url, &error);
    ASSERT_TRUE(otherStore) << error;
    CloudNamespace other(*otherStore, [] { return std::int64_t{1700000000}; });
    std::atomic<int> stored{0}, refused{0};
    auto writer = [&](CloudNamespace& ns, const std::string& prefix) {
        for (int i = 0; i < 12; ++i) {
            auto answer = ns.putFile(uid, p("/" + prefix + std::to_string(i)),
                                     prefix + std::to_string(i), 100, {});
            (answer.ok() ? stored : refused)++;
        }
    };
    std::thread a(writer, std::ref(*files), "a"), b(writer, std::ref(other), "b");
    a.join();
    b.join();
    EXPECT_EQ(stored, 15);
    EXPECT_EQ(refused, 9);
    std::set<std::string> revisions;
    const auto changes = files->delta(uid, "");
    for (const auto& entry : changes.body.find("entries")->elements())
        revisions.insert(entry[1].find("rev")->asString());
    EXPECT_EQ(revisions.size(), 15u);

    // A nonce is taken once by every process and forgotten once the window has left it behind.
    using O = server::NonceOutcome;
    EXPECT_EQ(store->rememberNonce("k&t", "n1", 1000, 100), O::Fresh);
    EXPECT_EQ(otherStore->rememberNonce("k&t", "n1", 1000, 100), O::Replayed);
    EXPECT_EQ(otherStore->rememberNonce("k&u", "n1", 1000, 100), O::Fresh); // another token
    EXPECT_EQ(otherStore->rememberNonce("k&t", "n3", 1950, 1050), O::Fresh);
    EXPECT_EQ(store->rememberNonce("k&t", "n1", 1000, 100), O::Fresh);
    EXPECT_EQ(store->rememberNonce("k&t", "n3", 1950, 100), O::Replayed);
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreConformance, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });
