#pragma once
// URL helpers working on URL text: query rebuilding and host matching.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using CSQueryParameters = std::vector<std::pair<std::string, std::string>>;

// The URL's host ("" when it has none), without user information or port.
std::string hostOfURL(std::string_view url);

// The text up to, not including, the first "?" (a fragment goes with the query).
std::string urlByRemovingQuery(std::string_view url);

// The URL without its query, "?", and its existing query parameters followed
// by the new ones, all percent-escaped. A fragment is kept at the end.
std::string urlByAddingParameters(std::string_view url, const CSQueryParameters& parameters);
std::string urlByAddingParameterDictionary(std::string_view url,
                                           const std::map<std::string, std::string>& parameters);

// Four dot-separated groups of one to three decimal digits, each 0..255.
bool isIPAddress(std::string_view host);

// Whether the URL's host lies in `domain`: an IP address must equal it; a
// name matches when equal to it without regard to case, or when it ends with
// it at a dot boundary (".example.com" and "example.com" both match
// "www.example.com" and "example.com", never "evilexample.com").
bool domainMatches(std::string_view url, std::string_view domain);
