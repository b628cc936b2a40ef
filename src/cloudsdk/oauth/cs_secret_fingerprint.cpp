#include "cs_secret_fingerprint.h"

#include <openssl/sha.h>

#include <cstdint>
#include <cstdio>

std::string csSecretFingerprint(std::string_view appSecret) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(appSecret.data()), appSecret.size(), digest);
    const std::uint32_t tail = (std::uint32_t{digest[16]} << 24) |
                               (std::uint32_t{digest[17]} << 16) |
                               (std::uint32_t{digest[18]} << 8) | std::uint32_t{digest[19]};
    char text[16];
    std::snprintf(text, sizeof text, "%x", tail);
    return text;
}
