#include "cs_json_key_merge.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

namespace {

// Objects up to this size compare candidate pairs directly.
constexpr std::size_t kSmallObject = 64;

// A seed drawn once per process, so keys chosen to share one hash value in
// one run share none in another.
uint64_t processSeed() {
    static const uint64_t seed = [] {
        std::random_device device;
        return (uint64_t{device()} << 32) ^ device();
    }();
    return seed;
}

uint64_t keyHash(std::string_view key, uint64_t seed) {
    uint64_t h = (1469598103934665603ull ^ seed) ^ key.size();
    std::size_t i = 0;
    for (; i + 8 <= key.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, key.data() + i, 8);
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    for (; i < key.size(); ++i)
        h = (h ^ static_cast<unsigned char>(key[i])) * 1099511628211ull;
    return h ^ (h >> 32);
}

// Keeps the members not dropped, in order.
template <typename Flags> void compact(CSJsonValue::Object& members, const Flags& dropped) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < members.size(); ++i)
        if (!dropped[i])
            members[kept++] = std::move(members[i]);
    members.resize(kept);
}

// Small objects: every pair whose hashes agree.
std::size_t mergeSmall(CSJsonValue::Object& members, const uint64_t* hashes) {
    const std::size_t n = members.size();
    bool dropped[kSmallObject] = {};
    std::size_t comparisons = 0;
    bool anyDropped = false;
    for (std::size_t j = 1; j < n; ++j) {
        for (std::size_t i = 0; i < j; ++i) {
            if (dropped[i] || hashes[i] != hashes[j])
                continue;
            ++comparisons;
            if (members[i].key() == members[j].key()) {
                members[i].value = std::move(members[j].value);
                dropped[j] = anyDropped = true;
                break;
            }
        }
    }
    if (anyDropped)
        compact(members, dropped);
    return comparisons;
}

// Large objects: positions sorted by key, then by position, so equal keys
// stand together with the first position leading; O(n log n) comparisons
// whatever the keys hash to.
std::size_t mergeLarge(CSJsonValue::Object& members) {
    const std::size_t n = members.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::size_t comparisons = 0;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        ++comparisons;
        const int c = members[a].key().compare(members[b].key());
        return c != 0 ? c < 0 : a < b;
    });
    std::vector<bool> dropped(n, false);
    bool anyDropped = false;
    for (std::size_t g = 0; g < n;) {
        std::size_t end = g + 1;
        while (end < n && (++comparisons, members[order[end]].key() == members[order[g]].key()))
            ++end;
        if (end - g > 1) {
            members[order[g]].value = std::move(members[order[end - 1]].value);
            for (std::size_t k = g + 1; k < end; ++k)
                dropped[order[k]] = true;
            anyDropped = true;
        }
        g = end;
    }
    if (anyDropped)
        compact(members, dropped);
    return comparisons;
}

} // namespace

std::size_t mergeRepeatedKeys(CSJsonValue::Object& members) {
    const std::size_t n = members.size();
    if (n < 2)
        return 0;
    // A 256-bit filter of key hashes settles the usual case (no repeats)
    // without comparing keys.
    const uint64_t seed = processSeed();
    uint64_t localHashes[kSmallObject];
    std::vector<uint64_t> heapHashes;
    uint64_t* hashes = localHashes;
    if (n > kSmallObject) {
        heapHashes.resize(n);
        hashes = heapHashes.data();
    }
    uint64_t seen[4] = {0, 0, 0, 0};
    bool maybeRepeated = false;
    for (std::size_t i = 0; i < n; ++i) {
        hashes[i] = keyHash(members[i].key(), seed);
        const unsigned bit = static_cast<unsigned>(hashes[i] >> 56);
        const uint64_t mask = uint64_t{1} << (bit & 63);
        maybeRepeated |= (seen[bit >> 6] & mask) != 0;
        seen[bit >> 6] |= mask;
    }
    if (!maybeRepeated)
        return 0;
    return n > kSmallObject ? mergeLarge(members) : mergeSmall(members, hashes);
}
