#pragma once

#include <string>
#include <string_view>

class CommandContext;

namespace store_checks {

// Empty when the store folder at devicePath is safe to use: a real folder (not
// a link) owned by the user the program runs as and not writable by group or
// others. Otherwise why not. A missing folder is reported as missing.
std::string unsafeFolderReason(const CommandContext& context, std::string_view devicePath);

// Checks the application folder and then each folder given; records a failure
// for the first that is missing or unsafe and returns false.
bool requireStoreFolders(CommandContext& context, std::string_view subject,
                         std::initializer_list<std::string_view> devicePaths);

} // namespace store_checks
