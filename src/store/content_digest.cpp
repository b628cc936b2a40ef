#include "content_digest.h"

#include <openssl/evp.h>

namespace store {

std::string sha256Hex(std::string_view content) {
    unsigned char hash[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(content.data(), content.size(), hash, &length, EVP_sha256(), nullptr) != 1)
        return {};
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[hash[i] >> 4];
        text += hex[hash[i] & 0x0F];
    }
    return text;
}

} // namespace store
