#pragma once
// Percent-escaping of URL parameters (the OAuth parameter encoding) and the
// URL text used in signature base strings.

#include <string>
#include <string_view>

// Every byte other than ASCII letters, digits and "-._~" becomes "%XX"
// (uppercase hexadecimal). The text is UTF-8.
std::string stringByAddingURIPercentEscapesUsingEncoding(std::string_view utf8);

// Undoes "%XX" escapes and reads the bytes as UTF-8. A "%" not followed by
// two hexadecimal digits stays as it is; byte sequences that are not UTF-8
// become U+FFFD, so the result is always valid UTF-8.
std::string stringByRemovingPercentEscapes(std::string_view text);

// The URL's absolute text; "/" is added when it has neither path nor query
// ("http://example.com" gives "http://example.com/").
std::string absoluteNormalizedString(std::string_view url);
