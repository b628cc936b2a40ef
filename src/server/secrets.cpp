#include "secrets.h"

#include "decimal.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>
#include <vector>

namespace server {

namespace {

constexpr int kIterations = 120000;
constexpr std::size_t kHashBytes = 32;
constexpr std::string_view kScheme = "pbkdf2-sha256";

std::string derive(std::string_view password, std::string_view salt, int iterations) {
    unsigned char out[kHashBytes];
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.data()),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(), sizeof out,
                          out) != 1)
        return {};
    return toHex(out, sizeof out);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

} // namespace

std::string toHex(const unsigned char* data, std::size_t size) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

std::string randomHex(std::size_t bytes) {
    std::vector<unsigned char> buffer(bytes);
    if (RAND_bytes(buffer.data(), static_cast<int>(buffer.size())) != 1)
        throw std::runtime_error("the system's random generator failed");
    return toHex(buffer.data(), buffer.size());
}

bool constantTimeEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string hashPassword(std::string_view password) {
    const std::string salt = randomHex(16);
    return std::string(kScheme) + "$" + std::to_string(kIterations) + "$" + salt + "$" +
           derive(password, salt, kIterations);
}

bool verifyPassword(std::string_view password, std::string_view stored) {
    auto parts = split(stored, '$');
    if (parts.size() != 4 || parts[0] != kScheme)
        return false;
    const auto iterations = parseDecimal(parts[1], 9);
    if (!iterations || *iterations <= 0)
        return false;
    const std::string expected = derive(password, parts[2], static_cast<int>(*iterations));
    return !expected.empty() && constantTimeEquals(expected, parts[3]);
}

} // namespace server
