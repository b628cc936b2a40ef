// Objects whose keys were chosen to share one hash value: the reader's merge
// of repeated keys must stay a sort's worth of work for them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cs_json_key_merge.h"

namespace {

// The reader's earlier key hash had no seed: for 16-byte keys it is
// h0 -> mix(h0 ^ w1) -> mix(. ^ w2), where mix is a bijection. Any first word
// therefore has one second word that lands on a chosen state.
constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kStart = 1469598103934665603ull ^ 16;

uint64_t mix(uint64_t x) {
    const uint64_t y = x * kMultiplier;
    return y ^ (y >> 29);
}

std::string bytesOf(uint64_t word) {
    std::string out(8, '\0');
    std::memcpy(out.data(), &word, 8);
    return out;
}

// 16-byte keys, all different, that all reach the state `target` after their
// second word.
std::vector<std::string> collidingKeys(std::size_t count, uint64_t target) {
    std::vector<std::string> keys;
    char first[9];
    for (uint64_t i = 0; keys.size() < count; ++i) {
        std::snprintf(first, sizeof first, "%08llx", static_cast<unsigned long long>(i));
        uint64_t w1;
        std::memcpy(&w1, first, 8);
        const uint64_t w2 = target ^ mix(kStart ^ w1);
        keys.push_back(std::string(first, 8) + bytesOf(w2));
    }
    return keys;
}

uint64_t oldHash(const std::string& key) {
    uint64_t w1, w2;
    std::memcpy(&w1, key.data(), 8);
    std::memcpy(&w2, key.data() + 8, 8);
    const uint64_t h = mix(mix(kStart ^ w1) ^ w2);
    return h ^ (h >> 32);
}

} // namespace

TEST(JsonRepeatedKeys, CollidingKeysCostASortNotASquare) {
    const std::size_t n = 100000;
    const std::vector<std::string> keys = collidingKeys(n, 0x0123456789abcdefull);
    ASSERT_EQ(oldHash(keys[0]), oldHash(keys[n - 1]));

    CSJsonValue::Object members;
    members.reserve(n + n / 10);
    for (std::size_t i = 0; i < n; ++i)
        members.push_back(CSJsonMember{CSJsonValue(keys[i]), CSJsonValue(i)});
    // Every tenth key once more, with a new value.
    for (std::size_t i = 0; i < n; i += 10)
        members.push_back(CSJsonMember{CSJsonValue(keys[i]), CSJsonValue(n + i)});

    const std::size_t comparisons = mergeRepeatedKeys(members);
    const double total = static_cast<double>(n + n / 10);
    EXPECT_LT(static_cast<double>(comparisons), 4 * total * std::log2(total));
    ASSERT_EQ(members.size(), n);
    EXPECT_EQ(members[0].key(), keys[0]);
    EXPECT_EQ(members[0].value.asInt64(), static_cast<int64_t>(n));
    EXPECT_EQ(members[1].value.asInt64(), 1);
    EXPECT_EQ(members[n - 1].key(), keys[n - 1]);
}
