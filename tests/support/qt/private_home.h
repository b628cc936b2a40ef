#pragma once
// Settings, secrets, caches and sockets go to a private home, and the session
// bus address leads nowhere, so no test reaches the desktop's own. The
// program's own user folders take the home through their explicit hook (as
// root they never follow the environment); programs a test starts take it
// with --test-home home().

#include <filesystem>
#include <map>
#include <optional>
#include <string>

// HOME (root/home) and the XDG folders point under a fresh temporary folder
// (the runtime folder 0700), the session bus nowhere, and Qt draws offscreen
// unless told otherwise; the variables come back and the folder goes when the
// object does.
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
