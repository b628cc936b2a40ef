#include "hidden_arguments.h"

#include <strings.h>

#include <cstring>

namespace platform {

int hideArgumentsStartingWith(int argc, char** argv, std::string_view prefix) {
    int hidden = 0;
    for (int i = 1; i < argc; ++i) {
        char* argument = argv[i];
        if (!argument || prefix.empty() || std::strlen(argument) < prefix.size() ||
            ::strncasecmp(argument, prefix.data(), prefix.size()) != 0)
            continue;
        // Zero bytes, not a shorter text: the kernel reads the whole area.
        std::memset(argument, 0, std::strlen(argument));
        ++hidden;
    }
    return hidden;
}

} // namespace platform
