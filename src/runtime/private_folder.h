#pragma once

#include "result.h"
#include "unique_fd.h"

#include <string>

// A folder that only the user the program runs as can enter: the home of the
// command lock and of the checked copies handed to the bundle's scripts.
// For root it is /run/mobrix (or /var/run/mobrix); for anyone else
// $XDG_RUNTIME_DIR/mobrix, else /tmp/mobrix-<uid>. Made 0700 when missing,
// refused when it is a link, belongs to another user or lets others in.
namespace runtime::private_folder {

struct Opened {
    platform::UniqueFd fd;
    std::string path;
};
platform::Result<Opened> open();

// A file-name-safe key of a device root, the same for every spelling of it
// ("/tmp/x", "/tmp/x/", a link to it).
std::string deviceKey(const std::string& deviceRoot);

} // namespace runtime::private_folder
