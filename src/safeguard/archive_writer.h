#pragma once

#include <string_view>

class CommandContext;

// Writes an archive of the library folder from the zip input folder (a device
// path ending in "/"), so that its entries begin with that path less its
// leading "/". The archive is written fresh under a temporary name and renamed
// over the old one only when the zip tool succeeded: a failed run keeps the
// last good archive.
bool writeArchive(CommandContext& context, std::string_view subject,
                  std::string_view archiveDevicePath, std::string_view zipInputDevicePath);
