#include "private_home.h"

#include "user_folders.h"

#include <sys/stat.h>

#include <cstdlib>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// The variables that point into the home, with their folders under the base.
const std::pair<const char*, const char*> kFolders[] = {{"HOME", "home"},
                                                        {"XDG_CONFIG_HOME", "home/.config"},
                                                        {"XDG_DATA_HOME", "home/.local/share"},
                                                        {"XDG_CACHE_HOME", "cache"},
                                                        {"XDG_RUNTIME_DIR", "runtime"}};

void usePrivateHome(const std::filesystem::path& base) {
    for (const auto& [variable, name] : kFolders) {
        std::filesystem::create_directories(base / name);
        ::setenv(variable, (base / name).c_str(), 1);
    }
    ::chmod((base / "runtime").c_str(), 0700);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (base / "no-bus").string()).c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    platform::setUserFoldersOverride(platform::UserFolders::underHome(base / "home"));
}

} // namespace

PrivateHome::PrivateHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mobrix-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = name.data();
    std::vector<const char*> variables = {"DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM"};
    for (const auto& folder : kFolders)
        variables.push_back(folder.first);
    for (const char* variable : variables) {
        const char* old = std::getenv(variable);
        saved_[variable] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    usePrivateHome(root_);
}

PrivateHome::~PrivateHome() {
    platform::setUserFoldersOverride(std::nullopt);
    for (const auto& [variable, value] : saved_) {
        if (value)
            ::setenv(variable.c_str(), value->c_str(), 1);
        else
            ::unsetenv(variable.c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::filesystem::path PrivateHome::makeFolder(const std::string& name) const {
    const std::filesystem::path folder = root_ / name;
    std::filesystem::create_directories(folder);
    return folder;
}
