#include "user_folders.h"

#include <pwd.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex& overrideMutex() {
    static std::mutex m;
    return m;
}

std::optional<UserFolders>& overrideSlot() {
    static std::optional<UserFolders> folders;
    return folders;
}

std::filesystem::path absoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value && *value == '/')
        return value;
    return {};
}

// The home of a user id from the password database; "/" when it has none.
std::filesystem::path passwordHome(uid_t uid) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return uid == 0 ? "/root" : "/";
}

} // namespace

UserFolders UserFolders::underHome(const std::filesystem::path& home) {
    return {home / ".local" / "share", home / ".config"};
}

UserFolders userFolders() {
    {
        std::lock_guard lock(overrideMutex());
        if (overrideSlot())
            return *overrideSlot();
    }
    if (::geteuid() == 0)
        return UserFolders::underHome(passwordHome(0));
    std::filesystem::path home = absoluteEnv("HOME");
    if (home.empty())
        home = passwordHome(::geteuid());
    UserFolders folders = UserFolders::underHome(home);
    if (auto data = absoluteEnv("XDG_DATA_HOME"); !data.empty())
        folders.data = data;
    if (auto config = absoluteEnv("XDG_CONFIG_HOME"); !config.empty())
        folders.config = config;
    return folders;
}

void setUserFoldersOverride(std::optional<UserFolders> folders) {
    std::lock_guard lock(overrideMutex());
    overrideSlot() = std::move(folders);
}

bool startedWithRaisedRights() {
    return ::getauxval(AT_SECURE) != 0;
}

} // namespace platform
