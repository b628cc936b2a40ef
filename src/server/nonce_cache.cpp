#include "nonce_cache.h"

namespace server {

NonceCache::Outcome NonceCache::remember(const std::string& scope, const std::string& nonce,
                                         std::int64_t timestamp, std::int64_t now) {
    std::string key = scope;
    key += '\n';
    key += nonce;
    std::lock_guard lock(mutex_);
    expire(now);
    if (seen_.count(key))
        return Outcome::Replayed;
    if (seen_.size() >= capacity_)
        return Outcome::Full;
    seen_.insert(key);
    byTimestamp_.emplace(timestamp, std::move(key));
    return Outcome::Fresh;
}

std::size_t NonceCache::size() const {
    std::lock_guard lock(mutex_);
    return seen_.size();
}

void NonceCache::expire(std::int64_t now) {
    // A timestamp older than the window is refused before its nonce is looked at,
    // so its nonce need not be remembered any longer.
    auto end = byTimestamp_.lower_bound(now - window_);
    for (auto it = byTimestamp_.begin(); it != end; ++it)
        seen_.erase(it->second);
    byTimestamp_.erase(byTimestamp_.begin(), end);
}

} // namespace server
