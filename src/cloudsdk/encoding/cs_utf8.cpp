#include "cs_utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Reads one code point at `i`, advancing `i`; malformed input (overlong forms,
// surrogates, values past U+10FFFF, cut-short sequences) gives U+FFFD and
// consumes only the bytes that cannot start anything valid.
char32_t readCodePoint(std::string_view text, size_t& i) {
    auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80)
        return lead;
    int extra;
    char32_t value;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    size_t start = i;
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || !isContinuation(static_cast<unsigned char>(text[i]))) {
            return kReplacement;
        }
        value = (value << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        i = start;
        return kReplacement;
    }
    return value;
}

} // namespace

std::vector<char32_t> CSDecodeUTF8(std::string_view text) {
    std::vector<char32_t> codePoints;
    codePoints.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        codePoints.push_back(readCodePoint(text, i));
    return codePoints;
}

void CSAppendUTF8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string CSValidUTF8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80)
            out += text[i++];
        else
            CSAppendUTF8(out, readCodePoint(text, i));
    }
    return out;
}
