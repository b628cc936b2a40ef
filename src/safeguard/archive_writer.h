#pragma once

#include "process_identity.h"

#include <string>
#include <string_view>

class CommandContext;

namespace safeguard {

// Writes archiveName in the library folder (open as libraryFd). The zip tool
// runs as the data's owner in the scratch folder (scratchFd) with the relative
// input path, so that the entries begin with that path, and stores links as
// links. It writes to its standard output, a fresh 0600 file that the program
// created beside the archive; that file is renamed over the archive only when
// the zip tool succeeded: a failed run keeps the last good archive, and no
// name that anybody else can change is ever handed to the tool.
bool writeArchive(CommandContext& context, std::string_view subject, int libraryFd,
                  std::string_view archiveName, int scratchFd, const std::string& relativeInput,
                  const ProcessIdentity& owner);

// Name of the file an archive is written to before it replaces the archive.
std::string partialArchiveName(std::string_view archiveName);

} // namespace safeguard
