#include "source_lines.h"

#include <algorithm>

namespace store::source_lines {

namespace {

constexpr size_t kLongestLine = 4096;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// C0 controls but the tab, DEL, and the C1 controls as UTF-8 (U+0080..U+009F).
bool hasControlCharacters(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if ((c < 0x20 && c != '\t') || c == 0x7F)
            return true;
        if (c == 0xC2 && i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(line[i + 1]) <= 0x9F)
            return true;
    }
    return false;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start)
            result.push_back(line.substr(start, i - start));
    }
    return result;
}

bool allOf(std::string_view text, std::string_view extra) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [extra](char c) {
        return isAsciiAlnum(c) || extra.find(c) != std::string_view::npos;
    });
}

// http(s)://host[:port][/path], host and path in plain URL characters.
bool isWebAddress(std::string_view address) {
    for (std::string_view scheme : {"http://", "https://"}) {
        if (!address.starts_with(scheme))
            continue;
        std::string_view rest = address.substr(scheme.size());
        std::string_view authority = rest.substr(0, rest.find('/'));
        std::string_view path = rest.substr(authority.size());
        std::string_view host = authority.substr(0, authority.find(':'));
        std::string_view port =
            host.size() < authority.size() ? authority.substr(host.size() + 1) : "0";
        return allOf(host, ".-") && allOf(port, "") && (path.empty() || allOf(path, "/-._~%+:@=,"));
    }
    return false;
}

} // namespace

std::string problem(std::string_view line) {
    if (line.size() > kLongestLine)
        return "too long";
    if (hasControlCharacters(line))
        return "control characters";
    auto parts = words(line);
    if (parts.empty() || parts[0].starts_with("#"))
        return {};
    if (parts[0] != "deb" && parts[0] != "deb-src")
        return "not a deb or deb-src line";
    if (parts.size() > 1 && parts[1].starts_with("["))
        return "options in brackets";
    if (parts.size() < 3)
        return "no address and suite";
    if (!isWebAddress(parts[1]))
        return "not an http or https address";
    const std::string_view plain = "/-._~+";
    if (!allOf(parts[2], plain))
        return "the suite is not plain";
    // An exact path ("./") takes no components; a distribution needs one.
    const bool exactPath = parts[2].ends_with("/");
    if (exactPath != (parts.size() == 3))
        return exactPath ? "components after an exact path" : "no components";
    for (size_t i = 3; i < parts.size(); ++i)
        if (!allOf(parts[i], plain))
            return "a component is not plain";
    return {};
}

Checked check(const std::vector<std::string>& lines) {
    Checked checked;
    for (const auto& line : lines) {
        if (std::string reason = problem(line); reason.empty())
            checked.kept.push_back(line);
        else
            checked.refused.push_back({line, std::move(reason)});
    }
    return checked;
}

} // namespace store::source_lines
