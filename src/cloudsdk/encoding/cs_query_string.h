#pragma once
// Query text to dictionary and back.

#include <map>
#include <string>
#include <string_view>

// Splits at "&" and each piece at its first "="; the key is taken unchanged,
// the value percent-decoded as UTF-8. Pieces without "=" are skipped; a key
// given twice keeps its last value.
std::map<std::string, std::string> dictionaryWithQueryString(std::string_view query);

// "key=value" pairs joined with "&", both sides percent-escaped.
std::string urlRepresentation(const std::map<std::string, std::string>& dictionary);
