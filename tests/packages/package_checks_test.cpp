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
         {"deb http://apt.example.org/ ./",
          "deb-src https://a.example:8443/debian stable main contrib",
          "deb\thttp://a.example/x/y/  ios/1349.70   main", "", "   ",
          "# deb [trusted=yes] file:/x ./", "deb http://a.example/ stable main/debian-installer"})
        EXPECT_EQ(source_lines::problem(line), "") << line;
}

TEST(SourceLines, AnythingThatCouldWeakenThePackageManagerIsRefused) {
    const std::pair<const char*, const char*> refused[] = {
        {"deb [trusted=yes] http://a.example/ ./", "options in brackets"},
        {"deb [arch=arm64] http://a.example/ ./", "options in brackets"},
        {"deb file:/var/mobile/repo ./", "not an http or https address"},
        {"deb cdrom:[Disc]/ ./", "not an http or https address"},
        {"deb ftp://a.example/ ./", "not an http or https address"},
        {"deb HTTP://a.example/ ./", "not an http or https address"},
        {"deb http://user@a.example/ ./", "not an http or https address"},
        {"deb http://a.example/ ./\r", "control characters"},
        {"deb http://a.example/\xC2\x9B ./", "control characters"},
        {"rpm http://a.example/ ./", "not a deb or deb-src line"},
        {"deb http://a.example/", "no address and suite"},
        {"deb http://a.example/ stable", "no components"},
        {"deb http://a.example/ ./ main", "components after an exact path"},
        {"deb http://a.example/ stable ma$in", "a component is not plain"},
        {"deb http://a.example/ st`able` main", "the suite is not plain"},
    };
    for (const auto& [line, reason] : refused)
        EXPECT_EQ(source_lines::problem(line), reason) << line;
}

TEST(SourceLines, CheckKeepsOrderAndNamesTheRefused) {
    auto checked =
        source_lines::check({"deb http://a.example/ ./", "deb [trusted=yes] http://b/ ./", "",
                             "deb http://a.example/ ./"});
    EXPECT_EQ(checked.kept, (std::vector<std::string>{"deb http://a.example/ ./", "",
                                                      "deb http://a.example/ ./"}));
    ASSERT_EQ(checked.refused.size(), 1u);
    EXPECT_EQ(checked.refused[0].describe(),
              "refused \"deb [trusted=yes] http://b/ ./\" (options in brackets)");
    EXPECT_EQ(printableLine("a\x1b]0;x\x07\\"), "a\\x1B]0;x\\x07\\x5C");
}

TEST(PackageSelections, OnlyNamesAndStatesReachThePackageTools) {
    auto checked = package_selections::check("bash\tinstall\r\n\nlibc6:arm64  hold\n"
                                             "old-tweak deinstall\ng++ purge\n"
                                             "Bash install\n-x install\nbash remove\n"
                                             "a install\nbash install extra\n");
    EXPECT_EQ(package_selections::text(checked.kept),
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
    // Why the file below the device root cannot be read, or "".
    std::string refusal(const char* path, size_t limit = 100) {
        return descriptor_files::readOwnedFileAt(root, path, limit).error;
    }
    TempDeviceRoot device;
    const std::string root = device.root();
};

TEST_F(DescriptorFiles, ReadsOnlyARegularFileReachedWithoutLinks) {
    auto read = descriptor_files::readOwnedFileAt(root, "/a/b/list", 100);
    EXPECT_EQ(read.bytes.value_or(""), "deb http://a.example/ ./\n");
    EXPECT_EQ(refusal("/a/b/list", 10), "/a/b/list is larger than 10 bytes");
    EXPECT_FALSE(descriptor_files::readOwnedFileAt(root, "/a/b/none", 100).bytes);
    EXPECT_EQ(refusal("/a/b/none"), "");

    fs::create_symlink(root + "/other", root + "/a/b/link");
    EXPECT_EQ(refusal("/a/b/link"), "/a/b/link is a link, not a file");
    fs::create_directory_symlink(root + "/a/b", root + "/a/c");
    EXPECT_EQ(refusal("/a/c/list"), "/a/c is a link, not a folder");
    // Someone else's file that not everyone may read, under a second name.
    fs::permissions(root + "/other", fs::perms(0600));
    fs::create_hard_link(root + "/other", root + "/a/b/hard");
    EXPECT_EQ(refusal("/a/b/hard"), "/a/b/hard has more than one name (a hard link)");
    if (::geteuid() == 0) {
        device.write("/a/b/foreign", "another user's");
        ASSERT_EQ(::chown((root + "/a/b/foreign").c_str(), 65534, 65534), 0);
        fs::permissions(root + "/a/b/foreign", fs::perms(0640));
        EXPECT_EQ(refusal("/a/b/foreign"), "/a/b/foreign is not owned by its folder's owner");
        fs::permissions(root + "/a/b/foreign", fs::perms(0644));
        EXPECT_TRUE(descriptor_files::readOwnedFileAt(root, "/a/b/foreign", 100).bytes);
    }
    ASSERT_EQ(::mkfifo((root + "/a/b/pipe").c_str(), 0600), 0);
    EXPECT_EQ(refusal("/a/b/pipe"), "/a/b/pipe is not a regular file");
}

TEST_F(DescriptorFiles, WritesAPrivateWholeFileAndRemovesLeftovers) {
    auto folder = descriptor_files::openFolder(root, "/a/b");
    ASSERT_TRUE(folder.fd.valid()) << folder.error;
    device.write("/a/b/.record.partial", "interrupted");
    device.write("/a/b/.record.x1", "interrupted");
    fs::create_symlink(root + "/other", root + "/a/b/.record.link");
    EXPECT_EQ(descriptor_files::writeFileAtomicallyAt(folder.fd.get(), "record", "new", "record"),
              "");
    descriptor_files::removeLeftoversAt(folder.fd.get(), ".record.");
    EXPECT_EQ(device.read("/a/b/record"), "new");
    EXPECT_EQ(fs::status(root + "/a/b/record").permissions(), fs::perms(0600));
    EXPECT_EQ(device.tree("/a/b"), (std::vector<std::string>{".record.link", "list", "record"}));
    EXPECT_TRUE(fs::is_symlink(root + "/a/b/.record.link"));
    EXPECT_EQ(device.read("/other"), "someone else's");
}
