#pragma once

#include <span>
#include <string_view>

class CommandContext;

// The store's folders as the Options screen offers them.
namespace maintenance {

struct StoreFolder {
    std::string_view choice; // button of the folder-choice alert
    std::string_view devicePath;
    std::string_view closingTitle; // closing alert when only this one is made
};

// Application folder first, then the sources, packages and library folders.
std::span<const StoreFolder> storeFolders();

// "/bin/mkdir" "-p" for each folder given, then a check that each is a safe
// store folder (a real folder of ours, not writable by others).
void createFolders(CommandContext& context, std::span<const StoreFolder> folders);
// Removes the library folder with everything in it and makes it anew, empty.
void emptyLibrary(CommandContext& context);
// Deletes the added sources list; false when there was none.
bool removeAddedSources(CommandContext& context);

} // namespace maintenance
