#pragma once

#include <string>
#include <vector>

class CommandContext;

namespace restore {

// Makes the recorded sources known again: with the package manager's cache
// list present, the recorded lines it does not list become the added sources
// list; without it, the recorded default list replaces the live one. Nothing is
// deleted before its replacement is complete, except the added sources list
// when there is no cache list (it has no replacement by design).
void restoreSources(CommandContext& context);

// Runs the bundle's re-install script.
void restorePackages(CommandContext& context);

// The recorded lines that are not live, in recorded order, duplicates kept.
std::vector<std::string> linesToAdd(const std::vector<std::string>& recorded,
                                    const std::vector<std::string>& live);

} // namespace restore
