// What may reach the package manager, and how records are read from folders
// that another user could rearrange.
#include "descriptor_files.h"
#include "package_selections.h"
#include "source_lines.h"
#include "temp_device_root.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(SourceLines, PlainWebSourcesBlanksAndCommentsPass) {
    for (const char* line :
         {"deb http://apt.example.org/ ./", "deb-src https://a.example:8443/debian stable main",
          "deb\thttp://a.example/x/y/  ios/1349.70   main", "   ",
          "# deb [trusted=yes] file:/x ./"})
        EXPECT_EQ(store::source_lines::problem(line), "") << line;
}

TEST(SourceLines, AnythingThatCouldWeakenThePackageManagerIsRefusedAndShownSafely) {
    // clang-format off
    const std::pair<const char*, const char*> refused[] = {
        {"deb [trusted=yes] http://a.example/ ./", "options in brackets"},
        {"deb file:/var/mobile/repo ./",           "not an http or https address"},
        {"deb HTTP://a.example/ ./",               "not an http or https address"},
        {"deb http://user@a.example/ ./",          "not an http or https address"},
        {"deb http://a.example/ ./\r",             "control characters"},
        {"deb http://a.example/\xC2\x9B ./",       "control characters"},
        {"rpm http://a.example/ ./",               "not a deb or deb-src line"},
        {"deb http://a.example/",                  "no address and suite"},
        {"deb http://a.example/ stable",           "no components"},
        {"deb http://a.example/ ./ main",          "components after an exact path"},
        {"deb http://a.example/ stable ma$in",     "a component is not plain"},
        {"deb http://a.example/ st`able` main",    "the suite is not plain"},
    };
    // clang-format on
    for (const auto& [line, reason] : refused)
        EXPECT_EQ(store::source_lines::problem(line), reason) << line;
    EXPECT_EQ(store::printableLine("a\x1b]0;x\x07\\"), "a\\x1B]0;x\\x07\\x5C");
}

TEST(PackageSelections, OnlyNamesAndStatesReachThePackageTools) {
    auto checked = store::package_selections::check("bash\tinstall\r\n\nlibc6:arm64  hold\n"
                                                    "old-tweak deinstall\ng++ purge\n"
                                                    "Bash install\n-x install\nbash remove\n"
                                                    "a install\nbash install extra\n");
    EXPECT_EQ(store::package_selections::text(checked.kept),
              "bash\tinstall\nlibc6:arm64\thold\nold-tweak\tdeinstall\ng++\tpurge\n");
    std::vector<std::string> reasons;
    for (const auto& refused : checked.refused)
        reasons.push_back(refused.reason);
    EXPECT_EQ(reasons, (std::vector<std::string>{"not a package name", "not a package name",
                                                 "not a selection state", "not a package name",
                                                 "not a package and a selection state"}));
}

class DescriptorFiles : public ::testing::Test {
protected:
    DescriptorFiles() {
        device.write("/a/b/list", "deb http://a.example/ ./\n");
        device.write("/other", "someone else's");
    }
    // The file below the device root, "" when it is missing, or "refused: <why>".
    std::string read(const char* path, size_t limit = 100) {
        auto read = store::descriptor_files::readOwnedFileAt(root, path, limit);
        return read ? read->value_or("") : "refused: " + read.error().message;
    }
    TempDeviceRoot device;
    const std::string root = device.root();
};

TEST_F(DescriptorFiles, ReadsOnlyARegularFileReachedWithoutLinks) {
    EXPECT_EQ(read("/a/b/list"), "deb http://a.example/ ./\n");
    EXPECT_EQ(read("/a/b/list", 10), "refused: /a/b/list is larger than 10 bytes");
    EXPECT_EQ(read("/a/b/none"), "");

    fs::create_symlink(root + "/other", root + "/a/b/link");
    EXPECT_EQ(read("/a/b/link"), "refused: /a/b/link is a link, not a file");
    // A link another user made (one only root could have made is followed).
    fs::create_directory_symlink(root + "/a/b", root + "/a/c");
    (void)::lchown((root + "/a/c").c_str(), 65534, 65534);
    EXPECT_EQ(read("/a/c/list"), "refused: /a/c is a link, not a folder");
    // Someone else's file that not everyone may read, under a second name.
    fs::permissions(root + "/other", fs::perms(0600));
    fs::create_hard_link(root + "/other", root + "/a/b/hard");
    EXPECT_EQ(read("/a/b/hard"), "refused: /a/b/hard has more than one name (a hard link)");
    if (::geteuid() == 0) {
        device.write("/a/b/foreign", "another user's");
        ASSERT_EQ(::chown((root + "/a/b/foreign").c_str(), 65534, 65534), 0);
        fs::permissions(root + "/a/b/foreign", fs::perms(0640));
        EXPECT_EQ(read("/a/b/foreign"), "refused: /a/b/foreign is not owned by its folder's owner");
        fs::permissions(root + "/a/b/foreign", fs::perms(0644));
        EXPECT_EQ(read("/a/b/foreign"), "another user's");
    }
    ASSERT_EQ(::mkfifo((root + "/a/b/pipe").c_str(), 0600), 0);
    EXPECT_EQ(read("/a/b/pipe"), "refused: /a/b/pipe is not a regular file");
}
