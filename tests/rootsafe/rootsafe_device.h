#pragma once

#include "temp_device_root.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

// A temporary device whose live folders belong to "nobody", with root-only
// files around them that nothing may read, write or delete, and the real
// mobrix binary to drive.
class RootSafeDevice : public TempDeviceRoot {
public:
    explicit RootSafeDevice(const passwd& nobody);
    static std::string archive(const std::string& name) {
        return "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary/" + name;
    }

    uid_t owner() const { return owner_; }
    // Writes a file as the data owner would have it.
    void write(std::string_view devicePath, std::string_view content) const;

    struct Result {
        int status = -1; // exit status, or 128 + signal
        std::string output;
    };
    // Runs mobrix --root DEVICE with the arguments and waits.
    Result run(const std::vector<std::string>& arguments) const;
    // Starts it in a process group of its own, output dropped; the caller waits.
    pid_t start(const std::vector<std::string>& arguments) const;
    static int wait(pid_t pid);

    // Runs body as the data owner in the device root, over and over, until
    // stopAttacker().
    pid_t startAttacker(const std::function<void()>& body) const;
    static void stopAttacker(pid_t pid);

    // The secret only root can read; owner, mode, link and content of every path outside
    // the owner's folders; every file's bytes in an archive.
    const std::string& secret() const { return secret_; }
    std::string outsideSnapshot() const;
    std::string archiveContents(const std::string& name) const {
        return captureOutput("unzip -p " + shellQuoted(path(archive(name))));
    }
    // Archives in the library that are not root's alone (owner root, mode 0600).
    std::string notRootsAlone() const {
        return captureOutput("find " + shellQuoted(path(archive(""))) +
                             " -name '*.zip' ! \\( -uid 0 -perm 600 \\)");
    }

private:
    std::string secret_;
    uid_t owner_;
    gid_t group_;
};

// A test on a fresh device; skipped unless root, to play the unprivileged owner "nobody".
class RootSafeTest : public ::testing::Test {
protected:
    void SetUp() override {
        const passwd* nobody = ::getpwnam("nobody");
        if (::geteuid() != 0 || !nobody)
            GTEST_SKIP() << "these attacks need root and a user \"nobody\" to own the folders";
        device = std::make_unique<RootSafeDevice>(*nobody);
    }
    std::unique_ptr<RootSafeDevice> device;
};
