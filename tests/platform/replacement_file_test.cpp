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
        std::ofstream(path("record.txt")) << "old";
    }
    ~ReplacementFileTest() override { fs::remove_all(folder); }

    std::string path(const std::string& name) const { return (folder / name).string(); }
    std::string read(const std::string& name) const {
        std::stringstream text;
        text << std::ifstream(path(name)).rdbuf();
        return text.str();
    }
    size_t entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
    }

    fs::path folder;
};

} // namespace

TEST_F(ReplacementFileTest, DestinationKeepsOldContentUntilCommit) {
    {
        auto file = ReplacementFile::create(path("record.txt"));
        ASSERT_TRUE(file.ok()) << file.error().message;
        ASSERT_TRUE(file->write("new").ok());
        EXPECT_EQ(read("record.txt"), "old");
        // The next run recognises the temporary as a leftover to remove.
        EXPECT_TRUE(ReplacementFile::isLeftoverOf(
            fs::path(file->temporaryPath()).filename().string(), "record.txt"));
    }
    EXPECT_EQ(read("record.txt"), "old");
    EXPECT_EQ(entries(), 1u); // an abandoned replacement leaves no temporary

    ASSERT_TRUE(platform::replaceFileContent(path("record.txt"), "new").ok());
    EXPECT_EQ(read("record.txt"), "new");
    EXPECT_EQ(fs::status(path("record.txt")).permissions(), fs::perms(0600));
    EXPECT_EQ(entries(), 1u);

    auto missing = ReplacementFile::create(path("no-such-folder/record.txt"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, ENOENT);
}

TEST_F(ReplacementFileTest, ALinkAtTheDestinationIsReplacedNotFollowed) {
    fs::create_symlink(path("record.txt"), path("link.txt"));
    ASSERT_TRUE(platform::replaceFileContent(path("link.txt"), "new").ok());
    EXPECT_FALSE(fs::is_symlink(path("link.txt")));
    EXPECT_EQ(read("link.txt"), "new");
    EXPECT_EQ(read("record.txt"), "old");
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

TEST(ReplacementFile, LeftoverNamesAreRecognisedExactly) {
    EXPECT_TRUE(ReplacementFile::isLeftoverOf(".Notes.zip.a1B2c3", "Notes.zip"));
    for (auto name : {"Notes.zip", ".Notes.zip.a1B2c", ".Notes.zip.a1/2c3", ".Notes.zipXa1B2c3",
                      ".Other.zip.a1B2c3"})
        EXPECT_FALSE(ReplacementFile::isLeftoverOf(name, "Notes.zip")) << name;
}
