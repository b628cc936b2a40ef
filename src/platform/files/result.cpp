#include "result.h"

#include <cerrno>
#include <cstring>

namespace platform {

Error systemError(const std::string& what, int code) {
    const char* text = code == ENOSPC ? "no space left on the device" : std::strerror(code);
    return {what + ": " + text, code};
}

} // namespace platform
