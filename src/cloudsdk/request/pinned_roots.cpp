#include "pinned_roots.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "cs_base64.h"
#include "cs_log.h"

namespace {

constexpr std::size_t kMaxRootTextLength = 10000;

// A well-formed DER SEQUENCE whose stated length covers exactly the bytes.
bool looksLikeCertificate(const std::string& der) {
    if (der.size() < 4 || static_cast<unsigned char>(der[0]) != 0x30)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    std::size_t length = 0;
    std::size_t header = 2;
    if (p[1] < 0x80) {
        length = p[1];
    } else {
        std::size_t n = p[1] & 0x7F;
        if (n == 0 || n > 4 || der.size() < 2 + n)
            return false;
        for (std::size_t i = 0; i < n; ++i)
            length = (length << 8) | p[2 + i];
        header += n;
    }
    return header + length == der.size();
}

std::vector<std::string> decodeAll() {
    std::vector<std::string> roots;
    for (unsigned i = 0; i < kCSPinnedRootCount; ++i) {
        const char* text = kCSPinnedRootTexts[i];
        const std::size_t length = strnlen(text, kMaxRootTextLength);
        std::string der(CSEstimateBas64DecodedDataSize(length), '\0');
        std::size_t size = der.size();
        if (!CSBase64DecodeData(text, length, der.data(), &size)) {
            CSLogError("Root certificate base64 decoding failed!");
            continue;
        }
        der.resize(size);
        if (!looksLikeCertificate(der)) {
            CSLogError("Invalid root certificate!");
            continue;
        }
        roots.push_back(std::move(der));
    }
    return roots;
}

std::mutex rootsMutex;
std::atomic<const std::vector<std::string>*> decodedRoots{nullptr};

} // namespace

const std::vector<std::string>& CSPinnedRootCertificates() {
    if (const auto* roots = decodedRoots.load(std::memory_order_acquire))
        return *roots;
    std::lock_guard lock(rootsMutex);
    if (const auto* roots = decodedRoots.load(std::memory_order_relaxed))
        return *roots;
    static std::vector<std::string> storage;
    storage = decodeAll();
    decodedRoots.store(&storage, std::memory_order_release);
    return storage;
}
