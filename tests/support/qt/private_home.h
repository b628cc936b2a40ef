#pragma once
// Settings, secrets, caches and sockets go to a private home, so no test
// reaches the desktop's own; programs a test starts take it with
// --test-home home().

#include <filesystem>
#include <map>
#include <optional>
#include <string>

// HOME (root/home), the XDG folders (runtime 0700) and the program's own user
// folders under a fresh temporary folder, the session bus nowhere, Qt
// offscreen unless set otherwise; all undone with the object.
class PrivateHome {
public:
    PrivateHome();
    ~PrivateHome();
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path home() const { return root_ / "home"; }
    std::filesystem::path dataHome() const { return home() / ".local" / "share"; }
    std::filesystem::path configHome() const { return home() / ".config"; }
    // A fresh folder under the root.
    std::filesystem::path makeFolder(const std::string& name) const;

private:
    std::filesystem::path root_;
    std::map<std::string, std::optional<std::string>> saved_;
};
