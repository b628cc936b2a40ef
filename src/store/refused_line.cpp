#include "refused_line.h"

namespace store {

namespace {

constexpr size_t kShownLength = 160;

} // namespace

std::string printableLine(std::string_view line) {
    static const char hex[] = "0123456789ABCDEF";
    std::string shown;
    for (size_t i = 0; i < line.size() && i < kShownLength; ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            shown += "\\x";
            shown += hex[c >> 4];
            shown += hex[c & 0x0F];
        }
    }
    if (line.size() > kShownLength)
        shown += "...";
    return shown;
}

std::string RefusedLine::describe() const {
    return "refused \"" + printableLine(line) + "\" (" + reason + ")";
}

} // namespace store
