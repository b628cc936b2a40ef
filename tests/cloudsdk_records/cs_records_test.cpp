#include <gtest/gtest.h>

#include "cs_account_info.h"
#include "cs_json.h"
#include "cs_metadata.h"

namespace {

CSJsonValue json(std::string_view text) {
    auto value = CSJsonParser().fragmentWithString(text);
    EXPECT_TRUE(value) << text;
    return value.value_or(CSJsonValue());
}

CSMetadata metadata(std::string_view text) {
    auto record = CSMetadata::initWithDictionary(json(text));
    EXPECT_TRUE(record) << text;
    return record.value_or(CSMetadata());
}

} // namespace

TEST(AccountInfo, ReadsTheAnswerAndRestoresBothArchiveLayouts) {
    const CSJsonValue answer = json(R"({"uid": 7, "country": "DE", "display_name": "Ann",
        "quota_info": {"normal": 100, "shared": 20, "quota": 1000}})");
    const auto info = CSAccountInfo::initWithDictionary(answer);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->userId(), "7");
    EXPECT_EQ(info->quota()->totalConsumedBytes(), 120);
    EXPECT_EQ(info->quota()->totalBytes(), 1000);
    const CSJsonValue archive = info->archive();
    EXPECT_EQ(archive, CSJsonValue::object({{"original", answer}}));
    EXPECT_EQ(CSAccountInfo::restore(archive)->original(), answer);
    EXPECT_FALSE(CSAccountInfo::initWithDictionary(json(R"({"quota_info": 5})"))->quota());
    EXPECT_FALSE(CSAccountInfo::initWithDictionary(json("[]")));

    const auto restored = CSAccountInfo::restore(json(R"({"country": "US", "userId": "4242",
        "quota": {"normalConsumedBytes": 5, "sharedConsumedBytes": 6, "totalBytes": 70}})"));
    ASSERT_TRUE(restored);
    EXPECT_EQ(*restored->original().find("uid"), CSJsonValue(4242));
    EXPECT_EQ(restored->quota()->totalConsumedBytes(), 11);
    EXPECT_EQ(restored->quota()->totalBytes(), 70);

    const auto quota =
        CSQuota::initWithDictionary(json(R"({"normal": 9223372036854775807, "shared": 5})"));
    EXPECT_EQ(quota->totalConsumedBytes(), INT64_MAX) << "the sum saturates";
    EXPECT_EQ(CSQuota::restore(quota->archive()), quota);
}

TEST(Metadata, FieldsOfTheWrongKindReadAsMissing) {
    const CSMetadata m =
        metadata(R"({"bytes": "12abc", "path": 7, "is_dir": "yes", "thumb_exists": 2,
        "modified": 1282429880, "client_mtime": "Mon, 1 Aug 2010 00:00:00 +0000", "rev": null,
        "revision": [1], "contents": {"a": 1}, "is_deleted": {}})");
    EXPECT_EQ(m.totalBytes(), 12) << "an integer may come as text that begins with it";
    EXPECT_FALSE(m.path());
    EXPECT_EQ(m.filename(), "");
    EXPECT_FALSE(m.isDirectory());
    EXPECT_TRUE(m.thumbnailExists());
    EXPECT_FALSE(m.lastModifiedDate());
    EXPECT_FALSE(m.clientMtime()) << "a date in another form is absent";
    EXPECT_FALSE(m.rev());
    EXPECT_EQ(m.revision(), 0);
    EXPECT_EQ(m.contents(), nullptr);
    EXPECT_FALSE(m.isDeleted());
    EXPECT_FALSE(CSMetadata::initWithDictionary(json("[1]")));
}

TEST(Metadata, IntegersSaturateAtTheLimits) {
    EXPECT_EQ(metadata(R"({"bytes": 99999999999999999999999})").totalBytes(), INT64_MAX);
    EXPECT_EQ(metadata(R"({"bytes": -1e30})").totalBytes(), INT64_MIN);
    EXPECT_EQ(metadata(R"({"revision": "-99999999999999999999"})").revision(), INT64_MIN);
    EXPECT_EQ(metadata(R"({"bytes": 1.9e3})").totalBytes(), 1900);
}

TEST(Metadata, FolderListingsNestInOrder) {
    const CSMetadata folder =
        metadata(R"({"path": "/Photos/", "is_dir": true, "hash": "h1", "contents": [
        {"path": "/Photos/b.jpg", "rev": "2"}, 17, {"path": "/Photos/Sub", "is_dir": true, "contents": []},
        {"path": "/Photos/a.jpg", "rev": "1"}]})");
    ASSERT_NE(folder.contents(), nullptr);
    ASSERT_EQ(folder.contents()->size(), 3u) << "elements that are not dictionaries are skipped";
    EXPECT_EQ(folder.filename(), "Photos");
    EXPECT_EQ((*folder.contents())[0].filename(), "b.jpg");
    const CSMetadata& sub = (*folder.contents())[1];
    ASSERT_NE(sub.contents(), nullptr);
    EXPECT_TRUE(sub.contents()->empty()) << "an empty folder has an empty list, a file none";
    EXPECT_EQ((*folder.contents())[2].filename(), "a.jpg");
    EXPECT_EQ(metadata(R"({"path": "/"})").filename(), "/");
}

TEST(Metadata, ArchiveRestoresEveryField) {
    const CSMetadata folder =
        metadata(R"({"path": "/Photos", "is_dir": true, "hash": "h", "size": "0 bytes",
        "root": "cloud", "icon": "folder", "rev": "9", "revision": 9, "thumb_exists": true, "bytes": 5, "is_deleted": true,
        "modified": "Sat, 21 Aug 2010 22:31:20 +0000", "contents": [{"path": "/Photos/x", "rev": "8",
        "client_mtime": "Thu, 01 Jan 1970 00:00:01 +0000"}]})");
    const CSJsonValue archive = folder.archive();
    EXPECT_EQ(archive.size(), 13u) << "every field but the file name, derived from the path";
    EXPECT_TRUE(archive.find("thumbnailExists")->isBool());
    const auto text = JSONRepresentation(archive);
    ASSERT_TRUE(text);
    const auto restored = CSMetadata::restore(*JSONValue(*text));
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->archive(), archive);
    EXPECT_EQ(restored->filename(), "Photos");
    ASSERT_NE(restored->contents(), nullptr);
    EXPECT_EQ((*restored->contents())[0].clientMtime(), CSDate{1});
    EXPECT_FALSE(CSMetadata::restore(CSJsonValue(3)));
}
