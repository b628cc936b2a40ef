#pragma once

#include "file_ops_at.h"
#include "result.h"

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

class CommandContext;
class DeviceRoot;

namespace runtime::store_checks {

// The store's folders, each opened once per command and checked: a real
// folder (never reached through a link) owned by the user the program runs
// as and not writable by group or others. Every later step works relative to
// these descriptors, so renaming the store and putting a link in its place
// while a command runs redirects nothing.
class StoreFolders {
public:
    // Opens devicePath (the application folder or one of its folders) and
    // checks it is safe; otherwise tells why not. The application folder is
    // opened first.
    platform::Status open(const DeviceRoot& root, std::string_view devicePath);
    // The open folder's descriptor; -1 when it was not opened.
    int fd(std::string_view devicePath) const;

private:
    std::map<std::string, store::file_ops::OpenedFolder, std::less<>> opened_;
};

// Whether the store folder at devicePath is safe to use, and why not. A
// missing folder is reported as missing.
platform::Status checkFolder(const CommandContext& context, std::string_view devicePath);

// Opens and checks the application folder and then each folder given; records
// a failure for the first that is missing or unsafe and returns false.
bool requireStoreFolders(CommandContext& context, std::string_view subject,
                         std::initializer_list<std::string_view> devicePaths);

} // namespace runtime::store_checks
