#include "file_ops_at.h"
#include "link_pruning.h"
#include "live_merge.h"
#include "temp_device_root.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(LinkJudgement, TheTargetTextDecidesWhetherALinkStaysInside) {
    EXPECT_TRUE(safeguard::linkStaysInside({"x"}, "../y"));
    EXPECT_TRUE(safeguard::linkStaysInside({}, "./a/./b/.."));
    EXPECT_FALSE(safeguard::linkStaysInside({}, "../y"));
    EXPECT_FALSE(safeguard::linkStaysInside({"x"}, "../../mobile/Library/Accounts/x"));
    EXPECT_FALSE(safeguard::linkStaysInside({}, "/etc/passwd"));
    EXPECT_FALSE(safeguard::linkStaysInside({}, "Mobrix/MobrixLibrary/Accounts.zip", "Mobrix"));
    EXPECT_FALSE(safeguard::linkStaysInside({"a"}, "../Mobrix", "Mobrix"));
    EXPECT_TRUE(
        safeguard::linkStaysInside({"a"}, "Mobrix", "Mobrix")); // a/Mobrix is another folder
}

class LiveMerge : public ::testing::Test {
protected:
    LiveMerge() {
        device.write("/copy/a.txt", "new a");
        device.write("/copy/sub/b.txt", "new b");
        device.write("/copy/fresh/c.txt", "new c");
        device.write("/copy/lnk/d.txt", "new d");
        device.write("/live/a.txt", "old a");
        device.write("/live/sub/keep.txt", "kept");
        device.makeFolder("/outside");
        fs::create_directory_symlink(device.path("/outside"), device.path("/live/lnk"));
    }
    std::vector<std::string> merge(uid_t owner) {
        auto copy = store::file_ops::openFolderBeneath(device.root(), "/copy");
        auto live = store::file_ops::openFolderBeneath(device.root(), "/live");
        return restore::mergeInto(copy.fd.get(), live.fd.get(), owner, "/live");
    }
    ino_t inode(const std::string& devicePath) {
        struct stat status {};
        ::lstat(device.path(devicePath).c_str(), &status);
        return status.st_ino;
    }
    TempDeviceRoot device;
};

TEST_F(LiveMerge, FilesAreRenamedIntoPlaceFoldersMergedAndLinksNeverFollowed) {
    const ino_t newA = inode("/copy/a.txt");
    EXPECT_EQ(merge(::geteuid()),
              std::vector<std::string>{"/live/lnk is a link; nothing is restored through it"});
    EXPECT_EQ(device.read("/live/a.txt"), "new a");
    EXPECT_EQ(inode("/live/a.txt"), newA); // replaced by a rename, never rewritten in place
    EXPECT_EQ(device.read("/live/sub/b.txt"), "new b");
    EXPECT_EQ(device.read("/live/sub/keep.txt"), "kept");
    EXPECT_EQ(device.read("/live/fresh/c.txt"), "new c");
    EXPECT_TRUE(device.tree("/outside").empty());
    EXPECT_EQ(device.tree("/copy"), (std::vector<std::string>{"lnk/", "lnk/d.txt"}));
}

TEST_F(LiveMerge, NothingGoesIntoAFolderOfAnotherUserOrASharedOne) {
    auto failures = merge(::geteuid() + 1);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("does not belong to uid"), std::string::npos);
    EXPECT_EQ(device.read("/live/a.txt"), "old a");

    fs::permissions(device.path("/live"), fs::perms::sticky_bit, fs::perm_options::add);
    EXPECT_EQ(merge(::geteuid()).size(), 1u);
    EXPECT_EQ(device.read("/live/a.txt"), "old a");
}

TEST(FolderBeneath, OnlyLinksThatRootAloneCouldMakeAreFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give links to another user";
    TempDeviceRoot device;
    device.makeFolder("/private/var/mobile/Library/Real");
    fs::create_directory_symlink("private/var", device.path("/var2"));
    fs::remove_all(device.path("/var"));
    fs::create_directory_symlink("private/var", device.path("/var"));
    EXPECT_TRUE(store::file_ops::openFolderBeneath(device.root(), "/var/mobile/Library/Real").ok());

    // A link its user could have made or swapped is never followed.
    ASSERT_EQ(::lchown(device.path("/var2").c_str(), 65534, 65534), 0);
    auto byUser = store::file_ops::openFolderBeneath(device.root(), "/var2/mobile");
    EXPECT_FALSE(byUser.ok());
    EXPECT_EQ(byUser.errorNumber, ELOOP);
    device.chown("/private/var/mobile", 65534, 65534);
    fs::create_directory_symlink("Library", device.path("/private/var/mobile/Alias"));
    EXPECT_FALSE(store::file_ops::openFolderBeneath(device.root(), "/var/mobile/Alias/Real").ok());
    auto real = store::file_ops::openFolderBeneath(device.root(), "/var/mobile/Library/Real");
    ASSERT_TRUE(real.ok());
    EXPECT_EQ(real.pathUser, 65534u);
}
