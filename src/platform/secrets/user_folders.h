#pragma once
// Where the running user's own settings and secrets live. A process running
// as root often carries another user's HOME and XDG_* (sudo, su without
// "-", a set-user-id launch); root's folders are therefore taken from the
// password database, never from the environment.

#include <filesystem>
#include <optional>

namespace platform {

struct UserFolders {
    std::filesystem::path data;   // the secret store lies under data/Mobrix
    std::filesystem::path config; // the user defaults lie under config/Mobrix

    // HOME/.local/share and HOME/.config.
    static UserFolders underHome(const std::filesystem::path& home);
};

// As root: under root's home from the password database. Otherwise:
// $XDG_DATA_HOME and $XDG_CONFIG_HOME when absolute, else under $HOME, else
// under the user's home from the password database.
UserFolders userFolders();

// Replaces userFolders() for this process (nothing: back to the rule above).
// The hook by which tests, and the front ends' test option, keep every run
// away from the real home.
void setUserFoldersOverride(std::optional<UserFolders> folders);

// True when this process was started with raised rights (set-user-id,
// set-group-id or file capabilities): its arguments and environment then
// come from a less trusted user.
bool startedWithRaisedRights();

} // namespace platform
