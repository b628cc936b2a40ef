#include "cs_escaping.h"

#include "cs_utf8.h"

#include <array>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string stringByAddingURIPercentEscapesUsingEncoding(std::string_view utf8) {
    static const auto unreserved = [] {
        std::array<bool, 256> table{};
        for (int c = 0; c < 256; ++c)
            table[static_cast<size_t>(c)] = isUnreserved(static_cast<unsigned char>(c));
        return table;
    }();
    // Every request escapes each parameter: write into one buffer of the
    // largest possible size rather than growing the string byte by byte.
    std::string escaped(utf8.size() * 3, '\0');
    char* out = escaped.data();
    for (char ch : utf8) {
        auto c = static_cast<unsigned char>(ch);
        if (unreserved[c]) {
            *out++ = ch;
        } else {
            out[0] = '%';
            out[1] = kHexDigits[c >> 4];
            out[2] = kHexDigits[c & 0x0F];
            out += 3;
        }
    }
    escaped.resize(static_cast<size_t>(out - escaped.data()));
    return escaped;
}

std::string stringByRemovingPercentEscapes(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            bytes += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return CSValidUTF8(bytes);
}
