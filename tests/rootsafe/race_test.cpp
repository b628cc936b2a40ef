// The data's owner ("nobody") swaps files and folders for links while the real binary
// runs as root; nothing outside the owner's reach may be read, written, deleted or disclosed.
#include "rootsafe_device.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class RootSafeRace : public RootSafeTest {
protected:
    // Runs the commands over and over, for a bounded time, while the owner
    // runs the attack; then nothing outside the owner's folders has changed.
    void race(const std::function<void()>& attack,
              const std::vector<std::vector<std::string>>& commands,
              const std::function<void(const RootSafeDevice::Result&)>& afterEach = {}) {
        const std::string before = device->outsideSnapshot();
        const pid_t attacker = device->startAttacker(attack);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
        while (std::chrono::steady_clock::now() < end)
            for (const auto& command : commands) {
                auto result = device->run(command);
                if (afterEach)
                    afterEach(result);
            }
        RootSafeDevice::stopAttacker(attacker);
        EXPECT_EQ(device->outsideSnapshot(), before);
    }
};

// Swaps name for a link to target for a moment, then puts it back.
void swapForLink(const std::string& name, const std::string& target, useconds_t hold = 300) {
    const std::string aside = name + ".aside";
    if (::rename(name.c_str(), aside.c_str()) != 0)
        return;
    if (::symlink(target.c_str(), name.c_str()) == 0) {
        ::usleep(hold);
        ::unlink(name.c_str());
    }
    ::rename(aside.c_str(), name.c_str());
    ::usleep(hold);
}

} // namespace

TEST_F(RootSafeRace, RestoreNeverWritesThroughALinkTheOwnerPlants) {
    ASSERT_EQ(device->run({"save", "accounts"}).status, 0);
    const std::string target = device->path("/etc/sudoers.d");
    race(
        [&] {
            const std::string folder = "var/mobile/Library/Accounts";
            ::unlink((folder + "/Read me.txt").c_str());
            ::symlink((target + "/x").c_str(), (folder + "/Read me.txt").c_str());
            swapForLink(folder + "/Sub folder", target);
            ::symlink(target.c_str(), "var/mobile/Library/.Accounts.restoring");
            swapForLink(folder, target);
            ::unlink("var/mobile/Library/.Accounts.restoring");
        },
        {{"restore", "accounts"}});
    EXPECT_EQ(device->read("/etc/sudoers.d/x"), "original");
}

TEST_F(RootSafeRace, SaveNeverFollowsALiveFolderSwappedForALink) {
    const std::string secret = device->path("/secret");
    race(
        [&] {
            swapForLink("var/mobile/Library/Accounts", secret);
            swapForLink("var/mobile/Library/Accounts/Sub folder", secret);
            swapForLink("var/mobile/Library/Preferences", secret);
        },
        {{"save", "accounts"}, {"save", "tweaks"}},
        [&](const RootSafeDevice::Result&) {
            for (auto name : {"Accounts.zip", "Preferences.zip"})
                EXPECT_EQ(device->archiveContents(name).find(device->secret()), std::string::npos);
        });
    EXPECT_EQ(device->notRootsAlone(), "");
}

TEST_F(RootSafeRace, AStoreFolderSwappedForALinkRedirectsNothing) {
    ASSERT_EQ(device->run({"save", "notes"}).status, 0);
    const std::string victim = device->path("/victim-store");
    race(
        [&] {
            swapForLink("var/mobile/Library/Preferences/Mobrix", victim, 3000);
            swapForLink("var/mobile/Library/Preferences", device->path("/secret"));
        },
        {{"save", "notes"},
         {"save", "accounts"},
         {"restore", "notes"},
         {"save", "call-history"},
         {"--yes", "remove-safeguard"},
         {"--yes", "create-folders"}});
    // Nothing the owner can read holds the secret.
    EXPECT_EQ(captureOutput("grep -rlF " + shellQuoted(device->secret()) + " " +
                            shellQuoted(device->path("/var/mobile")) + " " +
                            shellQuoted(device->path("/var/wireless"))),
              "");
    EXPECT_EQ(device->notRootsAlone(), "");
}

TEST_F(RootSafeRace, LinksInAnArchivedFolderAreKeptAsLinksAndThoseLeadingOutDropped) {
    const std::string folder = device->path("/var/wireless/Library/CallHistory/");
    for (auto [name, target] :
         {std::pair{"absolute", device->path("/secret/canary")},
          {"relative", std::string("../../../../secret/canary")},
          {"sideways", std::string("../../../mobile/Library/Accounts/Read me.txt")},
          {"alias", std::string("call_history.db")}})
        ASSERT_EQ(::symlink(target.c_str(), (folder + name).c_str()), 0);
    const std::string secret = device->path("/secret/canary");
    // A file that vanishes under the copy may fail a run; none may leak.
    int succeeded = 0;
    race(
        [&] {
            ::symlink(secret.c_str(), "var/wireless/Library/CallHistory/late");
            ::usleep(2000);
            ::unlink("var/wireless/Library/CallHistory/late");
            ::usleep(2000);
        },
        {{"save", "call-history"}},
        [&](const RootSafeDevice::Result& result) {
            succeeded += result.status == 0;
            EXPECT_EQ(device->archiveContents("CallHistory.zip").find(device->secret()),
                      std::string::npos);
        });
    EXPECT_GT(succeeded, 0);
    const std::string prefix = "var/wireless/Library/CallHistory/";
    EXPECT_EQ(device->archiveEntries(RootSafeDevice::archive("CallHistory.zip")),
              (std::vector<std::string>{prefix, prefix + "alias", prefix + "call_history.db"}));
    EXPECT_EQ(device->notRootsAlone(), "");

    // Restored, the kept link is a link again, owned by the folder's owner.
    ASSERT_EQ(::unlink((folder + "alias").c_str()), 0);
    EXPECT_EQ(device->run({"restore", "call-history"}).status, 0);
    struct stat status {};
    ASSERT_EQ(::lstat((folder + "alias").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(status.st_uid, device->owner());
}
