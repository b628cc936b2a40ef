#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Output of a shell command (stderr dropped), and a word quoted for one.
std::string captureOutput(const std::string& command);
std::string shellQuoted(const std::string& text);

// A temporary device root for one test, removed at the end. Paths given to
// its helpers are device paths ("/var/mobile/Library/Notes/a.txt").
class TempDeviceRoot {
public:
    TempDeviceRoot();
    ~TempDeviceRoot();
    TempDeviceRoot(const TempDeviceRoot&) = delete;
    TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

    const std::string& root() const { return root_; }
    std::string path(std::string_view devicePath) const { return root_ + std::string(devicePath); }

    void write(std::string_view devicePath, std::string_view content) const;
    std::string read(std::string_view devicePath) const;
    bool exists(std::string_view devicePath) const {
        std::error_code error;
        return std::filesystem::exists(std::filesystem::symlink_status(path(devicePath), error));
    }
    void makeFolder(std::string_view devicePath) const {
        std::filesystem::create_directories(path(devicePath));
    }
    void remove(std::string_view devicePath) const {
        std::error_code error;
        std::filesystem::remove_all(path(devicePath), error);
    }
    void chown(std::string_view devicePath, unsigned owner, unsigned group) const;

    // The store's four folders, as the Options screen makes them.
    void makeStoreFolders() const;
    // Every live folder of the category table with a file or two, owned by the phone's
    // user (501:501 unless told), plus the bundle with its two scripts.
    void fillLiveFolders(unsigned owner = 501, unsigned group = 501) const;

    // Entry names of an archive, and relative paths of a folder's tree
    // ("a", "b/", "b/c"); both sorted.
    std::vector<std::string> archiveEntries(std::string_view devicePath) const {
        return lines("/usr/bin/unzip -Z1 " + shellQuoted(path(devicePath)));
    }
    std::vector<std::string> tree(std::string_view devicePath) const {
        return lines("find " + shellQuoted(path(devicePath)) +
                     " -mindepth 1 \\( -type d -printf '%P/\\n' \\) -o -printf '%P\\n'");
    }

private:
    static std::vector<std::string> lines(const std::string& command);
    std::string root_;
};
