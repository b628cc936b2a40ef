#pragma once
// Dates of the service's metadata, "EEE, dd MMM yyyy HH:mm:ss Z" in fixed
// English (e.g. "Sat, 21 Aug 2010 22:31:20 +0000"), read by our own parser so
// that the process locale never matters. The parser keeps no state, so any
// number of threads may read dates at once.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A point in time: whole seconds since 1970-01-01 00:00:00 UTC.
struct CSDate {
    int64_t secondsSince1970 = 0;

    bool operator==(const CSDate&) const = default;
    auto operator<=>(const CSDate&) const = default;
};

// Nothing when the text is not exactly of that form or names an impossible date.
std::optional<CSDate> CSParseMetadataDate(std::string_view text);
// The same form, in UTC ("+0000").
std::string CSFormatMetadataDate(CSDate date);
