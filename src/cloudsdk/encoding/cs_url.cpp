#include "cs_url.h"

#include "cs_escaping.h"
#include "cs_query_string.h"

#include <algorithm>
#include <cctype>

namespace {

// The parts of URL text that these helpers need, as offsets into the text.
struct URLParts {
    size_t authorityBegin = std::string_view::npos; // npos: no "//" authority
    size_t authorityEnd = 0;
    size_t queryBegin = std::string_view::npos;    // at "?"
    size_t fragmentBegin = std::string_view::npos; // at "#"
};

URLParts splitURL(std::string_view url) {
    URLParts parts;
    parts.fragmentBegin = url.find('#');
    std::string_view beforeFragment = url.substr(0, parts.fragmentBegin);
    parts.queryBegin = beforeFragment.find('?');
    size_t schemeEnd = url.find("://");
    if (schemeEnd != std::string_view::npos &&
        schemeEnd < std::min(parts.queryBegin, parts.fragmentBegin)) {
        parts.authorityBegin = schemeEnd + 3;
        size_t end = url.find_first_of("/?#", parts.authorityBegin);
        parts.authorityEnd = end == std::string_view::npos ? url.size() : end;
    }
    return parts;
}

std::string lowercaseASCII(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

void appendParameter(std::string& text, std::string_view name, const std::string* value) {
    if (!text.empty())
        text += '&';
    text += stringByAddingURIPercentEscapesUsingEncoding(name);
    text += '=';
    if (value != nullptr)
        text += stringByAddingURIPercentEscapesUsingEncoding(*value);
}

// Re-encodes the existing query piece by piece. Names are decoded too, so
// that escaping them again does not escape them twice; a piece without "="
// keeps its name with an empty value.
std::string reencodedQuery(std::string_view query) {
    std::string text;
    forEachQueryPiece(query, [&](std::string_view name, std::optional<std::string_view> value) {
        std::string decoded = value ? stringByRemovingPercentEscapes(*value) : std::string();
        appendParameter(text, stringByRemovingPercentEscapes(name), value ? &decoded : nullptr);
    });
    return text;
}

template <typename Pairs> std::string addParameters(std::string_view url, const Pairs& parameters) {
    URLParts parts = splitURL(url);
    size_t baseEnd = std::min({parts.queryBegin, parts.fragmentBegin, url.size()});
    std::string text;
    if (parts.queryBegin != std::string_view::npos) {
        size_t queryEnd = std::min(parts.fragmentBegin, url.size());
        text = reencodedQuery(url.substr(parts.queryBegin + 1, queryEnd - parts.queryBegin - 1));
    }
    for (const auto& [name, value] : parameters)
        appendParameter(text, name, &value);

    std::string result(url.substr(0, baseEnd));
    if (!text.empty())
        result += '?' + text;
    if (parts.fragmentBegin != std::string_view::npos)
        result += url.substr(parts.fragmentBegin);
    return result;
}

} // namespace

std::string absoluteNormalizedString(std::string_view url) {
    URLParts parts = splitURL(url);
    bool hasPathOrQuery = parts.authorityBegin == std::string_view::npos ||
                          (parts.authorityEnd < url.size() && url[parts.authorityEnd] != '#');
    if (hasPathOrQuery)
        return std::string(url);
    // The slash goes before a fragment, where the path would be.
    std::string normalized(url.substr(0, parts.authorityEnd));
    normalized += '/';
    normalized += url.substr(parts.authorityEnd);
    return normalized;
}

std::string hostOfURL(std::string_view url) {
    URLParts parts = splitURL(url);
    if (parts.authorityBegin == std::string_view::npos)
        return {};
    std::string_view authority =
        url.substr(parts.authorityBegin, parts.authorityEnd - parts.authorityBegin);
    size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (!authority.empty() && authority.front() == '[') {
        size_t close = authority.find(']');
        return std::string(authority.substr(
            1, close == std::string_view::npos ? authority.size() - 1 : close - 1));
    }
    return std::string(authority.substr(0, authority.find(':')));
}

std::string urlByRemovingQuery(std::string_view url) {
    return std::string(url.substr(0, url.find('?')));
}

std::string urlByAddingParameters(std::string_view url, const CSQueryParameters& parameters) {
    return addParameters(url, parameters);
}

std::string urlByAddingParameterDictionary(std::string_view url,
                                           const std::map<std::string, std::string>& parameters) {
    return addParameters(url, parameters);
}

bool isIPAddress(std::string_view host) {
    int groups = 0;
    size_t start = 0;
    while (true) {
        size_t end = host.find('.', start);
        std::string_view group =
            host.substr(start, end == std::string_view::npos ? host.npos : end - start);
        if (group.empty() || group.size() > 3 || ++groups > 4)
            return false;
        int value = 0;
        for (char c : group) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255)
            return false;
        if (end == std::string_view::npos)
            return groups == 4;
        start = end + 1;
    }
}

bool domainMatches(std::string_view url, std::string_view domain) {
    std::string host = lowercaseASCII(hostOfURL(url));
    std::string wanted = lowercaseASCII(domain);
    if (host.empty() || wanted.empty() || wanted == ".")
        return false;
    if (isIPAddress(host))
        return host == wanted;
    std::string_view bare = wanted;
    if (bare.front() == '.')
        bare.remove_prefix(1);
    if (host == bare)
        return true;
    return endsWith(host, bare) && host[host.size() - bare.size() - 1] == '.';
}
