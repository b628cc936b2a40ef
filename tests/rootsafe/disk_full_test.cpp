// A full disk, played by a small tmpfs over the store in a private mount
// namespace: the failure says so, and the last good archive stays as it was.
#include "rootsafe_device.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sched.h>
#include <sys/mount.h>

namespace fs = std::filesystem;

namespace {

const std::string kStore = "/var/mobile/Library/Preferences/Mobrix";

std::string incompressible(size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

class DiskFull : public RootSafeTest {
protected:
    // The store's folder on a 2 MB tmpfs of its own, for this process only.
    std::string mountSmallStore() {
        if (::unshare(CLONE_NEWNS) != 0)
            return std::string("no private mount namespace: ") + std::strerror(errno);
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", device->path(kStore).c_str(), "tmpfs", 0, "size=2m,mode=0755") != 0)
            return std::string("cannot mount a small tmpfs: ") + std::strerror(errno);
        mounted = true;
        return device->run({"--yes", "create-folders"}).status == 0 ? "" : "no store folders";
    }
    void TearDown() override {
        if (mounted)
            ::umount2(device->path(kStore).c_str(), MNT_DETACH);
    }
    void expectFailedForSpace(const std::vector<std::string>& command) {
        auto result = device->run(command);
        EXPECT_EQ(result.status, 1) << result.output;
        EXPECT_NE(result.output.find("Accounts: no space left on the device"), std::string::npos)
            << result.output;
        EXPECT_FALSE(device->exists(kStore + "/tmp"));
    }
    bool mounted = false;
};

} // namespace

TEST_F(DiskFull, TheFailureNamesTheCauseAndTheLastGoodArchiveStays) {
    if (auto error = mountSmallStore(); !error.empty())
        GTEST_SKIP() << error;
    ASSERT_EQ(device->run({"save", "accounts"}).status, 0);
    const std::string archive = RootSafeDevice::archive("Accounts.zip");
    const std::string good = device->read(archive);
    ASSERT_FALSE(good.empty());

    // The copy fits, the archive beside it does not (the zip tool's own
    // write error); then not even the copy fits.
    for (size_t size : {1200u * 1024u, 3u * 1024u * 1024u}) {
        device->write("/var/mobile/Library/Accounts/huge.bin", incompressible(size));
        expectFailedForSpace({"save", "accounts"});
        EXPECT_EQ(device->read(archive), good);
        EXPECT_EQ(device->tree(kStore + "/MobrixLibrary"),
                  std::vector<std::string>{"Accounts.zip"});
    }
}

TEST_F(DiskFull, ARestorationWithoutRoomLeavesTheLiveFolderAsItWas) {
    // An archive that fits in the store but not twice: zipped outside it.
    const std::string prefix = "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Accounts/";
    device->write("/work/" + prefix + "huge.bin", incompressible(1200u * 1024u));
    ASSERT_EQ(std::system(("cd " + shellQuoted(device->path("/work")) +
                           " && zip -qr Accounts.zip " + prefix)
                              .c_str()),
              0);
    if (auto error = mountSmallStore(); !error.empty())
        GTEST_SKIP() << error;
    fs::copy_file(device->path("/work/Accounts.zip"),
                  device->path(RootSafeDevice::archive("Accounts.zip")));

    expectFailedForSpace({"restore", "accounts"});
    EXPECT_FALSE(device->exists("/var/mobile/Library/Accounts/huge.bin"));
    EXPECT_EQ(device->read("/var/mobile/Library/Accounts/Read me.txt"), "live Accounts");
}
