#include <gtest/gtest.h>

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

TEST(Metadata, ReadsAFileDictionary) {
    const CSMetadata file = metadata(
        R"({"bytes": 524288, "size": "512 KB", "is_dir": false, "path": "/Apps/Notes/a.txt",
        "thumb_exists": true, "modified": "Sat, 21 Aug 2010 22:31:20 +0000", "client_mtime": "Mon, 1 Aug 2010 00:00:00 +0000",
        "rev": "1f2e", "revision": 31, "root": "cloud", "icon": "page_white_text", "mime_type": "text/plain"})");
    EXPECT_EQ(file.totalBytes(), 524288);
    EXPECT_EQ(file.humanReadableSize(), "512 KB");
    EXPECT_FALSE(file.isDirectory());
    EXPECT_EQ(file.filename(), "a.txt");
    EXPECT_TRUE(file.thumbnailExists());
    EXPECT_EQ(file.lastModifiedDate(), CSDate{1282429880});
    EXPECT_FALSE(file.clientMtime()) << "a date in another form is absent";
    EXPECT_EQ(file.rev(), "1f2e");
    EXPECT_EQ(file.revision(), 31);
    EXPECT_EQ(file.root(), "cloud");
    EXPECT_EQ(file.icon(), "page_white_text");
    EXPECT_EQ(file.contents(), nullptr);
    EXPECT_FALSE(file.hash());
    EXPECT_FALSE(file.isDeleted());
}

TEST(Metadata, FieldsOfTheWrongKindReadAsMissing) {
    const CSMetadata m =
        metadata(R"({"bytes": "12abc", "path": 7, "is_dir": "yes", "thumb_exists": 2,
        "modified": 1282429880, "rev": null, "revision": [1], "contents": {"a": 1}, "is_deleted": {}})");
    EXPECT_EQ(m.totalBytes(), 12) << "an integer may come as text that begins with it";
    EXPECT_FALSE(m.path());
    EXPECT_EQ(m.filename(), "");
    EXPECT_FALSE(m.isDirectory());
    EXPECT_TRUE(m.thumbnailExists());
    EXPECT_FALSE(m.lastModifiedDate());
    EXPECT_FALSE(m.rev());
    EXPECT_EQ(m.revision(), 0);
    EXPECT_EQ(m.contents(), nullptr);
    EXPECT_FALSE(m.isDeleted());
    EXPECT_FALSE(CSMetadata::initWithDictionary(json("[1]")));
    EXPECT_FALSE(CSMetadata::initWithDictionary(json("\"x\"")));
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
    for (const char* key :
         {"thumbnailExists", "totalBytes", "lastModifiedDate", "path", "isDirectory", "contents",
          "hash", "humanReadableSize", "root", "icon", "rev", "revision", "isDeleted"})
        EXPECT_NE(archive.find(key), nullptr) << key;
    EXPECT_EQ(archive.find("filename"), nullptr);
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
