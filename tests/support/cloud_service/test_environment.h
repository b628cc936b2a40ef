#pragma once
// A private temporary home for one test: HOME and every XDG folder point
// into it (XDG_RUNTIME_DIR 0700), the program's own user folders are set to
// it through their explicit hook (as root they never follow the
// environment), and everything comes back afterwards. Programs started by
// the test take the same home with --test-home home().

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace testsupport {

class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

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

} // namespace testsupport
