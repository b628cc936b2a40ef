#pragma once

#include <string>
#include <string_view>

// The folder that stands for the device's "/". With "/" every path is used as
// it is; with another root R an absolute device path P becomes R + P.
class DeviceRoot {
public:
    explicit DeviceRoot(std::string root = "/");

    const std::string& root() const { return root_; }
    bool isSystem() const { return root_ == "/"; }

    // The host path of an absolute device path.
    std::string path(std::string_view devicePath) const;
    // The device path as the zip tool is given it from the root folder: the
    // path itself under "/", else relative to the root (no leading "/"), so that
    // the archive entries are the same either way.
    std::string zipInput(std::string_view devicePath) const;
    // Working folder for tools that take zipInput paths.
    const std::string& zipWorkingFolder() const { return root_; }

private:
    std::string root_;
};
