// The resume record of a chunked upload: what it keeps, and what it refuses to read.
#include "upload_resume.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(UploadResume, RecordsRoundTripPrivatelyOnePerFileAndIncompleteOnesAreRefused) {
    cloud::UploadResume first{"/root/var/Notes.zip",
                              "/Mobrix/MobrixLibrary/Notes.zip",
                              "127.0.0.1:4443",
                              "1001",
                              {314572900, 1767225600123456789, 18446744073709551615ull, 2049},
                              "up42",
                              4194304,
                              1767229200};
    const std::string text = cloud::serializeResume(first);
    EXPECT_EQ(cloud::parseResume(text), first);
    EXPECT_FALSE(cloud::parseResume(text.substr(0, text.size() / 2)));
    EXPECT_FALSE(cloud::parseResume("{\"version\": 1}"));

    const auto folder = std::filesystem::temp_directory_path() /
                        ("resume-test-" + std::to_string(::getpid())) / "uploads";
    const cloud::UploadResumeStore store(folder);
    cloud::UploadResume second = first;
    second.localPath += ".other";
    ASSERT_EQ(store.save(first), "");
    ASSERT_EQ(store.save(second), "");
    first.offset = 6291456; // replaced, not added
    ASSERT_EQ(store.save(first), "");
    EXPECT_EQ(store.load(first.localPath), first);
    struct stat status {};
    ASSERT_EQ(::lstat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++files;
        ASSERT_EQ(::lstat(entry.path().c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
    }
    EXPECT_EQ(files, 2);
    store.remove(first.localPath);
    EXPECT_FALSE(store.load(first.localPath));
    EXPECT_EQ(store.load(second.localPath), second);
    std::filesystem::remove_all(folder.parent_path());
}
