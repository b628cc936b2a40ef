#include "s3_listing.h"

#include <ctime>

namespace server {

namespace {

// The text between <name> and </name> from `from` on; `end` set past it.
std::optional<std::string> element(const std::string& xml, const std::string& name,
                                   std::size_t from, std::size_t limit, std::size_t* end) {
    const std::string open = "<" + name + ">", close = "</" + name + ">";
    const auto start = xml.find(open, from);
    if (start == std::string::npos || start >= limit)
        return std::nullopt;
    const auto stop = xml.find(close, start + open.size());
    if (stop == std::string::npos || stop > limit)
        return std::nullopt;
    if (end)
        *end = stop + close.size();
    return xml.substr(start + open.size(), stop - start - open.size());
}

std::string unescapeXml(const std::string& text) {
    static const std::pair<const char*, char> entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool replaced = false;
        for (const auto& [entity, c] : entities) {
            const std::string e = entity;
            if (text.compare(i, e.size(), e) == 0) {
                out += c;
                i += e.size() - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += text[i];
    }
    return out;
}

// "2026-12-06T20:55:01.000Z"; nothing when it is not such a time.
std::optional<std::int64_t> parseTime(const std::string& text) {
    std::tm utc{};
    const char* end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &utc);
    if (!end)
        return std::nullopt;
    return static_cast<std::int64_t>(timegm(&utc));
}

} // namespace

std::optional<S3ListingPage> parseS3Listing(const std::string& xml) {
    if (xml.find("<ListBucketResult") == std::string::npos)
        return std::nullopt;
    S3ListingPage page;
    std::size_t at = 0;
    for (;;) {
        std::size_t end = 0;
        if (!element(xml, "Contents", at, xml.size(), &end))
            break;
        const std::size_t start = xml.find("<Contents>", at);
        auto key = element(xml, "Key", start, end, nullptr);
        auto modified = element(xml, "LastModified", start, end, nullptr);
        auto when = modified ? parseTime(*modified) : std::nullopt;
        if (!key || !when)
            return std::nullopt;
        page.objects.emplace_back(unescapeXml(*key), *when);
        at = end;
    }
    if (element(xml, "IsTruncated", 0, xml.size(), nullptr).value_or("false") == "true") {
        auto token = element(xml, "NextContinuationToken", 0, xml.size(), nullptr);
        if (!token || token->empty())
            return std::nullopt;
        page.next = unescapeXml(*token);
    }
    return page;
}

} // namespace server
