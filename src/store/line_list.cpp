#include "line_list.h"

#include "file_ops.h"

namespace store::line_list {

namespace {

// Length of the line break at the start of text, 0 when there is none.
size_t breakLength(std::string_view text) {
    unsigned char first = static_cast<unsigned char>(text[0]);
    if (first >= 0x0A && first <= 0x0D)
        return 1;
    if (first == 0xC2 && text.size() >= 2 && static_cast<unsigned char>(text[1]) == 0x85)
        return 2;
    if (first == 0xE2 && text.size() >= 3 && static_cast<unsigned char>(text[1]) == 0x80 &&
        (static_cast<unsigned char>(text[2]) == 0xA8 ||
         static_cast<unsigned char>(text[2]) == 0xA9))
        return 3;
    return 0;
}

bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3;
        else
            return false;
        if (text.size() - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

std::string latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (size_t length = breakLength(text.substr(i)); length > 0) {
            lines.emplace_back(text.substr(start, i - start));
            i += length;
            start = i;
        } else {
            ++i;
        }
    }
    lines.emplace_back(text.substr(start));
    return lines;
}

std::string join(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += lines[i];
    }
    return text;
}

std::vector<std::string> decode(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (isValidUtf8(bytes))
        return split(bytes);
    return split(latin1ToUtf8(bytes));
}

std::optional<std::vector<std::string>> read(const std::string& path) {
    auto bytes = store::file_ops::readFile(path);
    if (!bytes)
        return std::nullopt;
    return decode(*bytes);
}

} // namespace store::line_list
