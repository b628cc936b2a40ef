#pragma once
// A private temporary home for one test: HOME and every XDG folder point
// into it (XDG_RUNTIME_DIR 0700), and the old values come back afterwards.

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
    std::filesystem::path dataHome() const { return root_ / "data"; }
    std::filesystem::path configHome() const { return root_ / "config"; }
    // A fresh folder under the root.
    std::filesystem::path makeFolder(const std::string& name) const;

private:
    std::filesystem::path root_;
    std::map<std::string, std::optional<std::string>> saved_;
};

} // namespace testsupport
