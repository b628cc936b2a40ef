#include "printable_text.h"

#include <cstdio>

namespace cloud {
namespace {

std::string byteEscape(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02x", byte);
    return text;
}

std::string codePointEscape(char32_t c) {
    char text[12];
    std::snprintf(text, sizeof text, "\\u%04x", static_cast<unsigned>(c));
    return text;
}

bool hidesOrReorders(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C;
}

// Length of the UTF-8 sequence at the start of text and its code point; 0
// when the bytes there are not a well-formed sequence.
std::size_t decode(std::string_view text, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(text[0]);
    std::size_t length = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 ? 2 : 0;
    if (b0 > 0xF4 || length == 0 || text.size() < length)
        return 0;
    c = b0 & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3F);
    }
    const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
    if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F)
                out += byteEscape(byte);
            else
                out += static_cast<char>(byte);
            text.remove_prefix(1);
            continue;
        }
        char32_t c = 0;
        const std::size_t length = decode(text, c);
        if (length == 0) {
            out += byteEscape(byte);
            text.remove_prefix(1);
            continue;
        }
        if (hidesOrReorders(c))
            out += codePointEscape(c);
        else
            out.append(text.substr(0, length));
        text.remove_prefix(length);
    }
    return out;
}

} // namespace cloud
