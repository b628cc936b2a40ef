#include <gtest/gtest.h>

#include "cs_account_info.h"
#include "cs_delta_entry.h"
#include "cs_json.h"

namespace {

CSJsonValue json(std::string_view text) {
    auto value = CSJsonParser().fragmentWithString(text);
    EXPECT_TRUE(value) << text;
    return value.value_or(CSJsonValue());
}

} // namespace

TEST(AccountInfo, ReadsTheAccountAndItsQuota) {
    const CSJsonValue answer =
        json(R"({"uid": 12345, "email": "a@example.com", "country": "FR", "display_name": "Ann",
        "referral_link": "https://example.com/r", "quota_info": {"normal": 100, "shared": 20, "quota": 1000}})");
    const auto info = CSAccountInfo::initWithDictionary(answer);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->userId(), "12345");
    EXPECT_EQ(info->email(), "a@example.com");
    EXPECT_EQ(info->country(), "FR");
    EXPECT_EQ(info->displayName(), "Ann");
    EXPECT_EQ(info->referralLink(), "https://example.com/r");
    ASSERT_TRUE(info->quota());
    EXPECT_EQ(info->quota()->totalConsumedBytes(), 120);
    EXPECT_EQ(info->quota()->totalBytes(), 1000);
    EXPECT_EQ(info->original(), answer);

    const auto bare = CSAccountInfo::initWithDictionary(json(R"({"uid": 12345})"));
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->quota());
    EXPECT_FALSE(bare->email());
    EXPECT_FALSE(CSAccountInfo::initWithDictionary(json(R"({"quota_info": 5})"))->quota());
    EXPECT_FALSE(CSAccountInfo::initWithDictionary(json("[]")));
}

TEST(AccountInfo, QuotaSumSaturates) {
    const auto quota =
        CSQuota::initWithDictionary(json(R"({"normal": 9223372036854775807, "shared": 5})"));
    ASSERT_TRUE(quota);
    EXPECT_EQ(quota->totalConsumedBytes(), INT64_MAX);
    EXPECT_EQ(CSQuota::restore(quota->archive()), quota);
}

TEST(AccountInfo, ArchivesTheOriginalAndRestoresTheOlderLayout) {
    const CSJsonValue answer = json(
        R"({"uid": 7, "country": "DE", "quota_info": {"normal": 1, "shared": 2, "quota": 3}})");
    const CSJsonValue archive = CSAccountInfo::initWithDictionary(answer)->archive();
    ASSERT_EQ(archive.size(), 1u);
    EXPECT_EQ(*archive.find("original"), answer);
    EXPECT_EQ(CSAccountInfo::restore(archive)->original(), answer);

    const CSJsonValue older =
        json(R"({"country": "US", "displayName": "Bo", "userId": "4242", "referralLink": "r",
        "quota": {"normalConsumedBytes": 5, "sharedConsumedBytes": 6, "totalBytes": 70}})");
    const auto restored = CSAccountInfo::restore(older);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->userId(), "4242");
    EXPECT_EQ(*restored->original().find("uid"), CSJsonValue(4242));
    EXPECT_EQ(restored->displayName(), "Bo");
    EXPECT_EQ(restored->referralLink(), "r");
    EXPECT_FALSE(restored->email());
    ASSERT_TRUE(restored->quota());
    EXPECT_EQ(restored->quota()->totalConsumedBytes(), 11);
    EXPECT_EQ(restored->quota()->totalBytes(), 70);
}

TEST(DeltaEntry, ReadsPathAndMetadataOrDeletion) {
    const auto added = CSDeltaEntry::initWithArray(
        json(R"(["/photos/a.jpg", {"path": "/Photos/a.jpg", "rev": "5"}])"));
    ASSERT_TRUE(added);
    EXPECT_EQ(added->lowercasePath(), "/photos/a.jpg");
    ASSERT_TRUE(added->metadata());
    EXPECT_EQ(added->metadata()->filename(), "a.jpg");

    const auto deleted = CSDeltaEntry::initWithArray(json(R"(["/photos/a.jpg", null])"));
    ASSERT_TRUE(deleted);
    EXPECT_FALSE(deleted->metadata());
    EXPECT_FALSE(CSDeltaEntry::initWithArray(json(R"(["/x"])")));
    EXPECT_FALSE(CSDeltaEntry::initWithArray(json(R"({"a": 1})")));
    const auto odd = CSDeltaEntry::initWithArray(json(R"([5, "not metadata"])"));
    ASSERT_TRUE(odd);
    EXPECT_FALSE(odd->lowercasePath());
    EXPECT_FALSE(odd->metadata());
}
