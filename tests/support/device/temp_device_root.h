#pragma once

#include <string>
#include <string_view>
#include <vector>

// A temporary device root for one test, removed at the end. Paths given to
// its helpers are device paths ("/var/mobile/Library/Notes/a.txt").
class TempDeviceRoot {
public:
    TempDeviceRoot();
    ~TempDeviceRoot();
    TempDeviceRoot(const TempDeviceRoot&) = delete;
    TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

    const std::string& root() const { return root_; }
    std::string path(std::string_view devicePath) const;

    void write(std::string_view devicePath, std::string_view content) const;
    std::string read(std::string_view devicePath) const;
    bool exists(std::string_view devicePath) const;
    void makeFolder(std::string_view devicePath) const;
    void remove(std::string_view devicePath) const;
    void chown(std::string_view devicePath, unsigned owner, unsigned group) const;

    // The store's four folders, as the Options screen makes them.
    void makeStoreFolders() const;
    // Every live folder of the category table with a file or two, owned by
    // 501:501 like on a phone, plus the bundle with its two scripts.
    void fillLiveFolders() const;

    // Entry names of an archive (unzip -Z1), sorted.
    std::vector<std::string> archiveEntries(std::string_view devicePath) const;
    // Relative paths of a folder's tree, sorted ("a", "b/", "b/c").
    std::vector<std::string> tree(std::string_view devicePath) const;

private:
    std::string root_;
};

// Where the project's sources are (for the bundle scripts).
std::string sourceFolder();
