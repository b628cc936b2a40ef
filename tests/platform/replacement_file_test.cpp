#include "replacement_file.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::ReplacementFile;

namespace {

class ReplacementFileTest : public ::testing::Test {
protected:
    ReplacementFileTest() {
        char pattern[] = "/tmp/replacement-XXXXXX";
        folder = ::mkdtemp(pattern);
    }
    ~ReplacementFileTest() override { fs::remove_all(folder); }

    std::string path(const std::string& name) const { return (folder / name).string(); }
    std::string read(const std::string& name) const {
        std::stringstream text;
        text << std::ifstream(path(name)).rdbuf();
        return text.str();
    }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name)) << text;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> all;
        for (const auto& entry : fs::directory_iterator(folder))
            all.push_back(entry.path().filename().string());
        return all;
    }

    fs::path folder;
};

} // namespace

TEST_F(ReplacementFileTest, DestinationKeepsOldContentUntilCommit) {
    write("record.txt", "old");
    {
        auto file = ReplacementFile::create(path("record.txt"));
        ASSERT_TRUE(file.ok()) << file.error().message;
        ASSERT_TRUE(file->write("new").ok());
        EXPECT_EQ(read("record.txt"), "old");
        EXPECT_TRUE(ReplacementFile::isLeftoverOf(
            fs::path(file->temporaryPath()).filename().string(), "record.txt"));
    }
    EXPECT_EQ(read("record.txt"), "old");
    EXPECT_EQ(names(), std::vector<std::string>{"record.txt"}); // no temporary left

    ASSERT_TRUE(platform::replaceFileContent(path("record.txt"), "new").ok());
    EXPECT_EQ(read("record.txt"), "new");
    struct stat info {};
    ASSERT_EQ(::stat(path("record.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(names(), std::vector<std::string>{"record.txt"});
}

TEST_F(ReplacementFileTest, ALinkAtTheDestinationIsReplacedNotFollowed) {
    write("target", "untouched");
    fs::create_symlink(path("target"), path("record.txt"));
    ASSERT_TRUE(platform::replaceFileContent(path("record.txt"), "new").ok());
    EXPECT_FALSE(fs::is_symlink(path("record.txt")));
    EXPECT_EQ(read("record.txt"), "new");
    EXPECT_EQ(read("target"), "untouched");
}

TEST_F(ReplacementFileTest, RelativeToAFolderDescriptor) {
    fs::create_directory(path("store"));
    int store = ::open(path("store").c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    ASSERT_GE(store, 0);
    // The folder is renamed away after it was opened: the file still lands in it.
    fs::rename(path("store"), path("moved"));
    fs::create_directory(path("store"));
    EXPECT_TRUE(platform::replaceFileContent("list.txt", "lines\n", 0644, store).ok());
    ::close(store);
    EXPECT_EQ(read("moved/list.txt"), "lines\n");
    EXPECT_FALSE(fs::exists(path("store/list.txt")));
}

TEST_F(ReplacementFileTest, LeftoverNamesAreRecognisedExactly) {
    EXPECT_TRUE(ReplacementFile::isLeftoverOf(".Notes.zip.a1B2c3", "Notes.zip"));
    for (auto name : {"Notes.zip", ".Notes.zip.a1B2c", ".Notes.zip.a1/2c3", ".Notes.zipXa1B2c3",
                      ".Other.zip.a1B2c3"})
        EXPECT_FALSE(ReplacementFile::isLeftoverOf(name, "Notes.zip")) << name;
}

TEST_F(ReplacementFileTest, FailuresAreValuesWithTheCause) {
    auto missing = ReplacementFile::create(path("no-such-folder/record.txt"));
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().message.find("record.txt"), std::string::npos);
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_EQ(platform::systemError("cannot write x", ENOSPC).message,
              "cannot write x: no space left on the device");
}
