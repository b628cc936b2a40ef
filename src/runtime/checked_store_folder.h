#pragma once

#include "unique_fd.h"

#include <string_view>

class CommandContext;

// A folder of the store, opened once for the whole command: the usual store
// checks by path (with their messages), then the application folder and the
// folder itself opened without following links and checked again on the open
// descriptors, so that what the command reads and writes through the result
// is the folder that was checked, whatever happens to the names meanwhile.
// Records a failure and returns no descriptor when a check fails.
platform::UniqueFd openCheckedStoreFolder(CommandContext& context, std::string_view subject,
                                          std::string_view storeFolder);
