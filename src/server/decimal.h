#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace server {

// A plain decimal number of at most maxDigits digits (no sign, no blanks), as
// timestamps, sizes and ports are written; anything else is nothing.
inline std::optional<std::int64_t> parseDecimal(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits || maxDigits > 18)
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace server
