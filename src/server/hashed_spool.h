#pragma once

#include "secrets.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <unistd.h>

namespace server {

// A body written to a file while its SHA-256 is taken: the hash is the
// body's address in every blob store.
class HashedSpool {
public:
    HashedSpool() : digest_(EVP_MD_CTX_new()) { EVP_DigestInit_ex(digest_, EVP_sha256(), nullptr); }
    ~HashedSpool() { EVP_MD_CTX_free(digest_); }
    HashedSpool(const HashedSpool&) = delete;
    HashedSpool& operator=(const HashedSpool&) = delete;

    bool write(int fd, const char* data, std::size_t size) {
        EVP_DigestUpdate(digest_, data, size);
        while (size > 0) {
            ssize_t n = ::write(fd, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<std::size_t>(n);
            size_ += static_cast<std::uint64_t>(n);
        }
        return true;
    }
    std::uint64_t size() const { return size_; }
    // The address of what was written (call once, at the end).
    std::string address() {
        unsigned char hash[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(digest_, hash, &length);
        return toHex(hash, length);
    }

private:
    EVP_MD_CTX* digest_;
    std::uint64_t size_ = 0;
};

} // namespace server
