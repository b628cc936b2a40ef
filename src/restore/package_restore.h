#pragma once

#include <optional>
#include <string>
#include <vector>

class CommandContext;

namespace restore {

// What a restoration asks before it hands a record that this device did not
// save (a cloud download, a file put there by hand) to the package manager:
// the record's digest, which the answer pins, and what will be done.
struct RecordConfirmation {
    std::string digest;
    std::string message;
};

// Nothing when the restoration may go ahead without asking: the record is the
// one the last local safeguard wrote, or there is nothing usable to restore
// (the command then says why).
std::optional<RecordConfirmation> sourcesConfirmation(CommandContext& context);
std::optional<RecordConfirmation> packagesConfirmation(CommandContext& context);

// Makes the recorded sources known again: with the package manager's cache
// list present, the recorded lines it does not list become the added sources
// list; without it, the recorded default list replaces the live one. Nothing is
// deleted before its replacement is complete, except the added sources list
// when there is no cache list (it has no replacement by design). Only lines
// that pass the source-line check are written; the others are named in the
// failure lines. A record this device did not save is used only when its
// digest is acceptedDigest.
void restoreSources(CommandContext& context, const std::string& acceptedDigest = {});

// Runs the bundle's re-install script on a checked copy of the package record
// (valid package names and selection states only) in the program's private
// folder, under the same rule for records this device did not save.
void restorePackages(CommandContext& context, const std::string& acceptedDigest = {});

// The recorded lines that are not live, in recorded order, duplicates kept.
std::vector<std::string> linesToAdd(const std::vector<std::string>& recorded,
                                    const std::vector<std::string>& live);

} // namespace restore
