#include "remote_path.h"

#include "cs_utf8.h"

#include <vector>

namespace server {

namespace {

std::vector<std::string_view> components(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool hasControlCharacter(std::string_view text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f)
            return true;
    }
    return false;
}

RemotePath fromDisplay(std::string display) {
    RemotePath path;
    path.key = lowerPath(display);
    path.display = std::move(display);
    return path;
}

} // namespace

std::string lowerPath(std::string_view text) {
    std::string out(text);
    for (auto& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::optional<RemotePath> parseRemotePath(std::string_view text, std::string* error) {
    auto fail = [&](const char* reason) -> std::optional<RemotePath> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (text.size() > kMaxPathBytes)
        return fail("path too long");
    if (hasControlCharacter(text))
        return fail("path holds a control character");
    if (CSValidUTF8(text) != text)
        return fail("path is not UTF-8");
    std::string display;
    for (auto part : components(text)) {
        if (part == "." || part == "..")
            return fail("path holds \".\" or \"..\"");
        if (part.size() > kMaxNameBytes)
            return fail("name too long");
        if (part.find('\\') != std::string_view::npos)
            return fail("name holds a backslash");
        display += '/';
        display += part;
    }
    if (display.empty())
        display.push_back('/');
    return fromDisplay(std::move(display));
}

RemotePath RemotePath::parent() const {
    auto slash = display.rfind('/');
    if (slash == 0 || slash == std::string::npos)
        return fromDisplay("/");
    return fromDisplay(display.substr(0, slash));
}

std::string RemotePath::name() const {
    return isRoot() ? std::string() : display.substr(display.rfind('/') + 1);
}

RemotePath RemotePath::child(std::string_view childName) const {
    return fromDisplay((isRoot() ? std::string() : display) + "/" + std::string(childName));
}

bool RemotePath::contains(const RemotePath& other) const {
    if (isRoot() || other.key == key)
        return true;
    return other.key.size() > key.size() && other.key.compare(0, key.size(), key) == 0 &&
           other.key[key.size()] == '/';
}

} // namespace server
