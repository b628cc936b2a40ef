// The data's owner ("nobody") swaps files and folders for links while the
// real binary runs as root; nothing outside the owner's reach may be read,
// written, deleted or disclosed.
#include "rootsafe_device.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRaceTime = std::chrono::milliseconds(2500);

class RootSafeRace : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto reason = RootSafeDevice::cannotRun(); !reason.empty())
            GTEST_SKIP() << reason;
        device = std::make_unique<RootSafeDevice>();
    }
    void TearDown() override {
        if (attacker > 0)
            RootSafeDevice::stopAttacker(attacker);
    }

    // Runs the commands over and over, for a bounded time, while the
    // attacker works; returns how many runs there were.
    int raceWith(const std::vector<std::vector<std::string>>& commands,
                 const std::function<void(const RootSafeDevice::Result&)>& afterEach = {}) {
        int runs = 0;
        const auto end = Clock::now() + kRaceTime;
        while (Clock::now() < end) {
            for (const auto& command : commands) {
                auto result = device->run(command);
                ++runs;
                if (afterEach)
                    afterEach(result);
            }
        }
        return runs;
    }

    void expectPrivateArchive(const std::string& name) {
        struct stat status {};
        if (::lstat(device->path(std::string(RootSafeDevice::library()) + "/" + name).c_str(),
                    &status) != 0)
            return; // a run that refused leaves none; that is no leak
        EXPECT_EQ(status.st_uid, 0u) << name;
        EXPECT_EQ(status.st_mode & 0777, 0600u) << name;
    }

    std::unique_ptr<RootSafeDevice> device;
    pid_t attacker = -1;
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
    const auto before = device->outsideSnapshot();
    const std::string target = device->path("/etc/sudoers.d");
    attacker = device->startAttacker([&] {
        const std::string folder = "var/mobile/Library/Accounts";
        ::unlink((folder + "/Read me.txt").c_str());
        ::symlink((target + "/x").c_str(), (folder + "/Read me.txt").c_str());
        swapForLink(folder + "/Sub", target);
        ::symlink(target.c_str(), "var/mobile/Library/.Accounts.restoring");
        swapForLink(folder, target);
        ::unlink("var/mobile/Library/.Accounts.restoring");
    });
    raceWith({{"restore", "accounts"}});
    RootSafeDevice::stopAttacker(attacker);
    attacker = -1;
    EXPECT_EQ(device->outsideSnapshot(), before);
    EXPECT_EQ(device->read("/etc/sudoers.d/x"), "original");
}

TEST_F(RootSafeRace, SaveNeverFollowsALiveFolderSwappedForALink) {
    const auto before = device->outsideSnapshot();
    const std::string secret = device->path("/secret");
    attacker = device->startAttacker([&] {
        swapForLink("var/mobile/Library/Accounts", secret);
        swapForLink("var/mobile/Library/Accounts/Sub", secret);
        swapForLink("var/mobile/Library/Preferences", secret);
    });
    raceWith({{"save", "accounts"}, {"save", "tweaks"}}, [&](const RootSafeDevice::Result&) {
        EXPECT_EQ(device->archiveContents("Accounts.zip").find(device->secret()),
                  std::string::npos);
        EXPECT_EQ(device->archiveContents("Preferences.zip").find(device->secret()),
                  std::string::npos);
    });
    RootSafeDevice::stopAttacker(attacker);
    attacker = -1;
    EXPECT_EQ(device->outsideSnapshot(), before); // the links in /secret are all still there
    expectPrivateArchive("Accounts.zip");
    expectPrivateArchive("Preferences.zip");
}

TEST_F(RootSafeRace, AStoreFolderSwappedForALinkRedirectsNothing) {
    ASSERT_EQ(device->run({"save", "notes"}).status, 0);
    const auto before = device->outsideSnapshot();
    const std::string victim = device->path("/victim-store");
    attacker = device->startAttacker([&] {
        swapForLink("var/mobile/Library/Preferences/Mobrix", victim, 3000);
        swapForLink("var/mobile/Library/Preferences", device->path("/secret"));
    });
    raceWith({{"save", "notes"},
              {"save", "accounts"},
              {"restore", "notes"},
              {"save", "call-history"},
              {"--yes", "remove-safeguard"}});
    RootSafeDevice::stopAttacker(attacker);
    attacker = -1;
    EXPECT_EQ(device->outsideSnapshot(), before);
    // Nothing the owner can read holds the secret.
    EXPECT_EQ(captureOutput("grep -rlF " + shellQuoted(device->secret()) + " " +
                            shellQuoted(device->path("/var/mobile")) + " " +
                            shellQuoted(device->path("/var/wireless"))),
              "");
    for (auto name : {"Accounts.zip", "Notes.zip", "CallHistory.zip"})
        expectPrivateArchive(name);
}

TEST_F(RootSafeRace, LinksInAnArchivedFolderAreKeptAsLinksAndThoseLeadingOutDropped) {
    const std::string folder = "/var/wireless/Library/CallHistory";
    ASSERT_EQ(::symlink(device->path("/secret/canary").c_str(),
                        device->path(folder + "/absolute").c_str()),
              0);
    ASSERT_EQ(::symlink("../../../../secret/canary", device->path(folder + "/relative").c_str()),
              0);
    ASSERT_EQ(::symlink("../../../mobile/Library/Accounts/Read me.txt",
                        device->path(folder + "/sideways").c_str()),
              0);
    ASSERT_EQ(::symlink("call_history.db", device->path(folder + "/alias").c_str()), 0);
    const std::string secret = device->path("/secret/canary");
    attacker = device->startAttacker([&] {
        ::symlink(secret.c_str(), "var/wireless/Library/CallHistory/late");
        ::usleep(2000);
        ::unlink("var/wireless/Library/CallHistory/late");
        ::usleep(2000);
    });
    // A file that vanishes under the copy may fail a run; none may leak.
    int succeeded = 0;
    raceWith({{"save", "call-history"}}, [&](const RootSafeDevice::Result& result) {
        succeeded += result.status == 0;
        EXPECT_EQ(device->archiveContents("CallHistory.zip").find(device->secret()),
                  std::string::npos);
    });
    EXPECT_GT(succeeded, 0);
    RootSafeDevice::stopAttacker(attacker);
    attacker = -1;
    auto names = device->archiveNames("CallHistory.zip");
    const std::string prefix = "var/wireless/Library/CallHistory/";
    auto has = [&](const std::string& name) {
        return std::find(names.begin(), names.end(), prefix + name) != names.end();
    };
    EXPECT_TRUE(has("alias"));
    EXPECT_TRUE(has("call_history.db"));
    EXPECT_FALSE(has("absolute"));
    EXPECT_FALSE(has("relative"));
    EXPECT_FALSE(has("sideways"));
    expectPrivateArchive("CallHistory.zip");

    // Restored, the kept link is a link again, owned by the folder's owner.
    ASSERT_EQ(::unlink(device->path(folder + "/alias").c_str()), 0);
    EXPECT_EQ(device->run({"restore", "call-history"}).status, 0);
    struct stat status {};
    ASSERT_EQ(::lstat(device->path(folder + "/alias").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(status.st_uid, device->owner());
}
