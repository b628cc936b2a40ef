// The resume record of a chunked upload: what it keeps, and what it refuses to read.
#include "upload_resume.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using cloud::UploadResume;
using cloud::UploadResumeStore;

namespace {

UploadResume sample() {
    UploadResume resume;
    resume.localPath = "/tmp/root/var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Notes.zip";
    resume.remotePath = "/Mobrix/MobrixLibrary/Notes.zip";
    resume.host = "127.0.0.1:4443";
    resume.userId = "1001";
    resume.file = {314572900, 1767225600123456789, 18446744073709551615ull, 2049};
    resume.uploadId = "up42";
    resume.offset = 4194304;
    resume.expires = 1767229200;
    return resume;
}

std::filesystem::path freshFolder() {
    auto folder = std::filesystem::temp_directory_path() /
                  ("resume-test-" + std::to_string(::getpid())) / "uploads";
    std::filesystem::remove_all(folder.parent_path());
    return folder;
}

} // namespace

TEST(UploadResume, RoundTripsAndRefusesIncompleteRecords) {
    const UploadResume resume = sample();
    EXPECT_EQ(cloud::parseResume(cloud::serializeResume(resume)), resume);
    EXPECT_FALSE(cloud::parseResume(""));
    EXPECT_FALSE(cloud::parseResume("{\"version\": 1}"));
    std::string text = cloud::serializeResume(resume);
    EXPECT_FALSE(cloud::parseResume(text.substr(0, text.size() / 2)));
    text.replace(text.find("\"version\":1"), 11, "\"version\":2");
    EXPECT_FALSE(cloud::parseResume(text)) << "a record of another layout is not guessed at";
}

TEST(UploadResume, StoreKeepsOnePrivateRecordPerLocalFile) {
    const auto folder = freshFolder();
    const UploadResumeStore store(folder);
    UploadResume first = sample();
    UploadResume second = sample();
    second.localPath += ".other";
    second.offset = 2097152;
    ASSERT_EQ(store.save(first), "");
    ASSERT_EQ(store.save(second), "");
    first.offset = 6291456; // replaced, not added
    ASSERT_EQ(store.save(first), "");
    EXPECT_EQ(store.load(first.localPath), first);
    EXPECT_EQ(store.load(second.localPath), second);

    struct stat status {};
    ASSERT_EQ(::lstat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++files;
        ASSERT_EQ(::lstat(entry.path().c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
        EXPECT_FALSE(entry.path().filename().string().starts_with(".tmp"));
    }
    EXPECT_EQ(files, 2);

    store.remove(first.localPath);
    EXPECT_FALSE(store.load(first.localPath));
    EXPECT_TRUE(store.load(second.localPath));
    std::filesystem::remove_all(folder.parent_path());
}

TEST(UploadResume, IdentityIsOfRegularFilesOnlyAndSeesARewrite) {
    const auto folder = freshFolder();
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "a.zip").string();
    std::ofstream(file) << "one";
    const auto before = cloud::identityOf(file);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->size, 3);
    std::filesystem::rename(file, file + ".old");
    std::ofstream(file) << "two";
    EXPECT_NE(cloud::identityOf(file), before) << "same size, another file";
    std::filesystem::create_symlink(file, folder / "link.zip");
    EXPECT_FALSE(cloud::identityOf((folder / "link.zip").string()));
    EXPECT_FALSE(cloud::identityOf(folder.string()));
    std::filesystem::remove_all(folder.parent_path());
}
