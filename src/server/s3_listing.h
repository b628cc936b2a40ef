#pragma once
// One page of a bucket's listing (the ListObjectsV2 XML answer): the keys
// with their times, and the token of the next page when there is one.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace server {

struct S3ListingPage {
    std::vector<std::pair<std::string, std::int64_t>> objects; // key, seconds since 1970
    std::optional<std::string> next;                           // continuation token
};

// Nothing when the text is no listing.
std::optional<S3ListingPage> parseS3Listing(const std::string& xml);

} // namespace server
