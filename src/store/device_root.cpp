#include "device_root.h"

#include <filesystem>

namespace {

std::string normalizeRoot(std::string root) {
    if (root.empty())
        return "/";
    std::error_code error;
    auto absolute = std::filesystem::absolute(root, error);
    std::string text = error ? root : absolute.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

} // namespace

DeviceRoot::DeviceRoot(std::string root) : root_(normalizeRoot(std::move(root))) {}

std::string DeviceRoot::path(std::string_view devicePath) const {
    if (isSystem())
        return std::string(devicePath);
    return root_ + std::string(devicePath);
}

std::string DeviceRoot::zipInput(std::string_view devicePath) const {
    if (isSystem())
        return std::string(devicePath);
    while (!devicePath.empty() && devicePath.front() == '/')
        devicePath.remove_prefix(1);
    return std::string(devicePath);
}
