#pragma once

class CommandContext;

namespace safeguard {

// Records the package manager's sources in the sources folder: the cache list
// (with the added sources list folded in when it exists) as "sources.list", or,
// without a cache list, the default list as "cydia.list". A record is replaced
// only by a complete new one; a missing source keeps the old record.
void saveSources(CommandContext& context);

// Runs the bundle's selection script, which writes the installed-package record.
void savePackages(CommandContext& context);

} // namespace safeguard
