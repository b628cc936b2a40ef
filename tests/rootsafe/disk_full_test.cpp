// A full disk, played by a small tmpfs over the store in a private mount
// namespace: the failure says so, and the last good archive stays as it was.
#include "rootsafe_device.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sched.h>
#include <sys/mount.h>

namespace fs = std::filesystem;

namespace {

std::string incompressible(size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// The store's folder on a tmpfs of its own, for this process only.
class SmallStore {
public:
    explicit SmallStore(std::string folder) : folder_(std::move(folder)) {
        if (::unshare(CLONE_NEWNS) != 0) {
            error_ = std::string("no private mount namespace: ") + std::strerror(errno);
            return;
        }
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=2m,mode=0755") != 0) {
            error_ = std::string("cannot mount a small tmpfs: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~SmallStore() {
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
    }
    const std::string& error() const { return error_; }

private:
    std::string folder_;
    std::string error_;
    bool mounted_ = false;
};

} // namespace

TEST(DiskFull, TheFailureNamesTheCauseAndTheLastGoodArchiveStays) {
    if (auto reason = RootSafeDevice::cannotRun(); !reason.empty())
        GTEST_SKIP() << reason;
    RootSafeDevice device;
    SmallStore store(device.path("/var/mobile/Library/Preferences/Mobrix"));
    if (!store.error().empty())
        GTEST_SKIP() << store.error();
    ASSERT_EQ(device.run({"--yes", "create-folders"}).status, 0);
    ASSERT_EQ(device.run({"save", "accounts"}).status, 0);
    const std::string archive = std::string(RootSafeDevice::library()) + "/Accounts.zip";
    const std::string good = device.read(archive);
    ASSERT_FALSE(good.empty());

    // The copy fits, the archive beside it does not (the zip tool's own
    // write error); then not even the copy fits.
    for (size_t size : {1200u * 1024u, 3u * 1024u * 1024u}) {
        device.write("/var/mobile/Library/Accounts/huge.bin", incompressible(size));
        auto result = device.run({"save", "accounts"});
        EXPECT_EQ(result.status, 1) << result.output;
        EXPECT_NE(result.output.find("Accounts: no space left on the device"), std::string::npos)
            << result.output;
        EXPECT_EQ(device.read(archive), good);
        EXPECT_FALSE(fs::exists(device.path("/var/mobile/Library/Preferences/Mobrix/tmp")));
        std::vector<std::string> library;
        for (const auto& entry : fs::directory_iterator(device.path(RootSafeDevice::library())))
            library.push_back(entry.path().filename().string());
        EXPECT_EQ(library, std::vector<std::string>{"Accounts.zip"});
    }
}

TEST(DiskFull, ARestorationWithoutRoomLeavesTheLiveFolderAsItWas) {
    if (auto reason = RootSafeDevice::cannotRun(); !reason.empty())
        GTEST_SKIP() << reason;
    RootSafeDevice device;
    // An archive that fits in the store but not twice: zipped outside it.
    const std::string prefix = "var/mobile/Library/Preferences/Mobrix/MobrixLibrary/Accounts/";
    const std::string work = device.path("/work");
    fs::create_directories(work + "/" + prefix);
    {
        std::ofstream(work + "/" + prefix + "huge.bin", std::ios::binary)
            << incompressible(1200u * 1024u);
    }
    ASSERT_EQ(
        std::system(("cd " + shellQuoted(work) + " && zip -qr Accounts.zip " + prefix).c_str()), 0);
    SmallStore store(device.path("/var/mobile/Library/Preferences/Mobrix"));
    if (!store.error().empty())
        GTEST_SKIP() << store.error();
    ASSERT_EQ(device.run({"--yes", "create-folders"}).status, 0);
    fs::copy_file(work + "/Accounts.zip",
                  device.path(std::string(RootSafeDevice::library()) + "/Accounts.zip"));

    auto result = device.run({"restore", "accounts"});
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("Accounts: no space left on the device"), std::string::npos)
        << result.output;
    EXPECT_FALSE(fs::exists(device.path("/var/mobile/Library/Accounts/huge.bin")));
    EXPECT_EQ(device.read("/var/mobile/Library/Accounts/Read me.txt"), "live Accounts");
    EXPECT_FALSE(fs::exists(device.path("/var/mobile/Library/Preferences/Mobrix/tmp")));
}
