#pragma once
// The nonces of signed requests seen within the timestamp window. A nonce is
// taken once per consumer and token; entries leave when their timestamp falls
// out of the window, and the cache never holds more than its capacity.

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

namespace server {

class NonceCache {
public:
    NonceCache(std::int64_t windowSeconds, std::size_t capacity)
        : window_(windowSeconds), capacity_(capacity) {}

    enum class Outcome { Fresh, Replayed, Full };
    // Records the nonce unless it was seen; `now` and `timestamp` in seconds.
    Outcome remember(const std::string& scope, const std::string& nonce, std::int64_t timestamp,
                     std::int64_t now);
    std::size_t size() const;

private:
    void expire(std::int64_t now);

    std::int64_t window_;
    std::size_t capacity_;
    mutable std::mutex mutex_;
    std::set<std::string> seen_;
    std::multimap<std::int64_t, std::string> byTimestamp_;
};

} // namespace server
