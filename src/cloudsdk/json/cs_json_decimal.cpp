#include <algorithm>
#include <limits>

#include "cs_json_value.h"

namespace {

std::string digitsOf(CSJsonUInt128 value) {
    if (value == 0)
        return "0";
    char buffer[40];
    int n = 0;
    while (value) {
        buffer[n++] = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    }
    std::reverse(buffer, buffer + n);
    return std::string(buffer, static_cast<std::size_t>(n));
}

} // namespace

CSJsonDecimal CSJsonDecimal::normalized() const {
    CSJsonDecimal d = *this;
    if (d.mantissa == 0)
        return CSJsonDecimal{};
    while (d.mantissa % 10 == 0) {
        d.mantissa /= 10;
        ++d.exponent;
    }
    return d;
}

int64_t CSJsonDecimal::toInt64() const {
    const CSJsonDecimal d = normalized();
    CSJsonUInt128 magnitude = d.mantissa;
    const CSJsonUInt128 limit =
        d.negative ? CSJsonUInt128{1} << 63 : CSJsonUInt128{std::numeric_limits<int64_t>::max()};
    if (d.exponent < 0) {
        for (int i = 0; i < -d.exponent && magnitude; ++i)
            magnitude /= 10;
    } else {
        for (int i = 0; i < d.exponent && magnitude <= limit; ++i)
            magnitude *= 10;
    }
    if (magnitude >= limit)
        return d.negative ? std::numeric_limits<int64_t>::min()
                          : std::numeric_limits<int64_t>::max();
    const int64_t value = static_cast<int64_t>(magnitude);
    return d.negative ? -value : value;
}

std::string CSJsonDecimal::toString() const {
    if (mantissa == 0)
        return "0";
    std::string digits = digitsOf(mantissa);
    std::string text = negative ? "-" : "";
    if (exponent >= 0) {
        text += digits;
        text.append(static_cast<std::size_t>(exponent), '0');
        return text;
    }
    const std::size_t fraction = static_cast<std::size_t>(-exponent);
    if (fraction < digits.size()) {
        text += digits.substr(0, digits.size() - fraction);
        text += '.';
        text += digits.substr(digits.size() - fraction);
    } else if (fraction - digits.size() <= 6) {
        text += "0.";
        text.append(fraction - digits.size(), '0');
        text += digits;
    } else {
        text += digits;
        text += 'e';
        text += std::to_string(exponent);
    }
    return text;
}

bool CSJsonDecimal::operator==(const CSJsonDecimal& other) const {
    const CSJsonDecimal a = normalized();
    const CSJsonDecimal b = other.normalized();
    return a.mantissa == b.mantissa && a.exponent == b.exponent && a.negative == b.negative;
}
