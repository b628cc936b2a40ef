#pragma once
// Query text to dictionary and back.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// Visits each "&"-separated piece of a query, split at its first "=": the raw
// name, and the raw value or nothing for a piece without "=". Empty pieces are
// passed over. Callers decode as their own rules say.
void forEachQueryPiece(
    std::string_view query,
    const std::function<void(std::string_view name, std::optional<std::string_view> value)>& visit);

// Splits at "&" and each piece at its first "="; the key is taken unchanged,
// the value percent-decoded as UTF-8. Pieces without "=" are skipped; a key
// given twice keeps its last value.
std::map<std::string, std::string> dictionaryWithQueryString(std::string_view query);

// "key=value" pairs joined with "&", both sides percent-escaped.
std::string urlRepresentation(const std::map<std::string, std::string>& dictionary);
