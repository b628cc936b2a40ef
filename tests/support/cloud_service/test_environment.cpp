#include "test_environment.h"

#include <sys/stat.h>

#include "user_folders.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace testsupport {

TestEnvironment::TestEnvironment() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mobrix-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = name.data();
    const std::map<std::string, std::filesystem::path> vars = {
        {"HOME", home()},
        {"XDG_DATA_HOME", dataHome()},
        {"XDG_CONFIG_HOME", configHome()},
        {"XDG_CACHE_HOME", root_ / "cache"},
        {"XDG_RUNTIME_DIR", root_ / "runtime"},
    };
    for (const auto& [var, path] : vars) {
        const char* old = std::getenv(var.c_str());
        saved_[var] = old ? std::optional<std::string>(old) : std::nullopt;
        std::filesystem::create_directories(path);
        ::setenv(var.c_str(), path.c_str(), 1);
    }
    ::chmod((root_ / "runtime").c_str(), 0700);
    platform::setUserFoldersOverride(platform::UserFolders::underHome(home()));
}

TestEnvironment::~TestEnvironment() {
    platform::setUserFoldersOverride(std::nullopt);
    for (const auto& [var, value] : saved_) {
        if (value) {
            ::setenv(var.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(var.c_str());
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

std::filesystem::path TestEnvironment::makeFolder(const std::string& name) const {
    std::filesystem::path p = root_ / name;
    std::filesystem::create_directories(p);
    return p;
}

} // namespace testsupport
