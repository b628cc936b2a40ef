#include <openssl/sha.h>

#include <cstdio>

#include "cs_query_string.h"
#include "cs_session.h"

std::map<std::string, std::string> CSSession::parseURLParams(std::string_view query) {
    return dictionaryWithQueryString(query);
}

std::string CSSession::secretFingerprint(std::string_view appSecret) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(appSecret.data()), appSecret.size(), digest);
    const std::uint32_t tail = (std::uint32_t{digest[16]} << 24) |
                               (std::uint32_t{digest[17]} << 16) |
                               (std::uint32_t{digest[18]} << 8) | std::uint32_t{digest[19]};
    char text[16];
    std::snprintf(text, sizeof text, "%x", tail);
    return text;
}
