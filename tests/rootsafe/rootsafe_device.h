#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// A temporary device whose /var/mobile and /var/wireless belong to "nobody",
// with root-only files around it that nothing may read, write or delete, and
// the real mobrix binary to drive. Paths given to the helpers are device paths.
class RootSafeDevice {
public:
    RootSafeDevice();
    ~RootSafeDevice();
    RootSafeDevice(const RootSafeDevice&) = delete;
    RootSafeDevice& operator=(const RootSafeDevice&) = delete;

    // Why these tests cannot run here (not root, no "nobody"), or empty.
    static std::string cannotRun();

    std::string path(std::string_view devicePath) const { return root_ + std::string(devicePath); }
    const std::string& root() const { return root_; }
    uid_t owner() const { return owner_; }
    gid_t ownerGroup() const { return ownerGroup_; }

    // Writes a file as the data owner would have it.
    void write(std::string_view devicePath, std::string_view content) const;
    std::string read(std::string_view devicePath) const;

    struct Result {
        int status = -1; // exit status, or 128 + signal
        std::string output;
    };
    // Runs mobrix --root DEVICE with the arguments and waits.
    Result run(const std::vector<std::string>& arguments) const;
    // Starts it in a process group of its own; the caller waits or kills.
    pid_t start(const std::vector<std::string>& arguments) const;
    Result wait(pid_t pid) const;

    // Runs body in a child process as the data owner, over and over, until
    // stopAttacker(). The child works in the device root.
    pid_t startAttacker(const std::function<void()>& body) const;
    static void stopAttacker(pid_t pid);

    // The secret only root can read, and a digest of everything outside the
    // owner's folders (content, owner, mode of each path).
    const std::string& secret() const { return secret_; }
    std::map<std::string, std::string> outsideSnapshot() const;
    // Every file's bytes in every archive of the library (unzip -p), and the
    // names.
    std::string archiveContents(const std::string& archiveName) const;
    std::vector<std::string> archiveNames(const std::string& archiveName) const;

    static const char* library() { return "/var/mobile/Library/Preferences/Mobrix/MobrixLibrary"; }

private:
    void fill();
    std::string root_;
    std::string secret_;
    uid_t owner_ = 65534;
    gid_t ownerGroup_ = 65534;
};

// Output of a shell command (stderr dropped).
std::string captureOutput(const std::string& command);
std::string shellQuoted(const std::string& text);
