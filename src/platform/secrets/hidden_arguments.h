#pragma once
// A process's command line is readable by every local user (/proc/PID/cmdline,
// ps). A link answer that arrived there is blanked as soon as the program has
// copied its arguments, so it stays visible only while the program starts.

#include <string_view>

namespace platform {

// Blanks, in place, every argument that begins with `prefix` (any letter
// case), e.g. the app scheme and "://". Returns how many were blanked.
int hideArgumentsStartingWith(int argc, char** argv, std::string_view prefix);

} // namespace platform
