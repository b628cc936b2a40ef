#include "cs_cloud_path.h"

#include "cs_utf8.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

namespace {

struct CodePointPair {
    char32_t from;
    char32_t to;
};
struct CombiningClassRange {
    char32_t first;
    char32_t last;
    std::uint8_t combiningClass;
};
struct Decomposition {
    char32_t composite;
    char32_t first;
    char32_t second; // 0 for a one-to-one decomposition
};
struct Composition {
    char32_t first;
    char32_t second;
    char32_t composite;
};

#include "cs_unicode_tables.inc"

// Hangul syllables compose and decompose by arithmetic, not by table.
constexpr char32_t kSBase = 0xAC00, kLBase = 0x1100, kVBase = 0x1161, kTBase = 0x11A7;
constexpr char32_t kLCount = 19, kVCount = 21, kTCount = 28;
constexpr char32_t kNCount = kVCount * kTCount, kSCount = kLCount * kNCount;

char32_t lowercase(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    auto it = std::lower_bound(std::begin(kLowercase), std::end(kLowercase), c,
                               [](const CodePointPair& p, char32_t v) { return p.from < v; });
    return it != std::end(kLowercase) && it->from == c ? it->to : c;
}

std::uint8_t combiningClass(char32_t c) {
    if (c < 0x300)
        return 0;
    auto it =
        std::upper_bound(std::begin(kCombiningClasses), std::end(kCombiningClasses), c,
                         [](char32_t v, const CombiningClassRange& r) { return v < r.first; });
    if (it == std::begin(kCombiningClasses))
        return 0;
    --it;
    return c <= it->last ? it->combiningClass : 0;
}

const Decomposition* findDecomposition(char32_t c) {
    auto it = std::lower_bound(std::begin(kDecompositions), std::end(kDecompositions), c,
                               [](const Decomposition& d, char32_t v) { return d.composite < v; });
    return it != std::end(kDecompositions) && it->composite == c ? &*it : nullptr;
}

void decompose(char32_t c, std::vector<char32_t>& out) {
    if (c >= kSBase && c < kSBase + kSCount) {
        char32_t index = c - kSBase;
        out.push_back(kLBase + index / kNCount);
        out.push_back(kVBase + (index % kNCount) / kTCount);
        if (index % kTCount != 0)
            out.push_back(kTBase + index % kTCount);
        return;
    }
    const Decomposition* d = c < 0xC0 ? nullptr : findDecomposition(c);
    if (d == nullptr) {
        out.push_back(c);
        return;
    }
    decompose(d->first, out);
    if (d->second != 0)
        decompose(d->second, out);
}

// Canonical order: each run of non-starters stably sorted by combining class.
void reorder(std::vector<char32_t>& text) {
    size_t i = 0;
    while (i < text.size()) {
        if (combiningClass(text[i]) == 0) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && combiningClass(text[end]) != 0)
            ++end;
        std::stable_sort(
            text.begin() + static_cast<std::ptrdiff_t>(i),
            text.begin() + static_cast<std::ptrdiff_t>(end),
            [](char32_t a, char32_t b) { return combiningClass(a) < combiningClass(b); });
        i = end;
    }
}

char32_t composePair(char32_t first, char32_t second) {
    if (first >= kLBase && first < kLBase + kLCount && second >= kVBase &&
        second < kVBase + kVCount)
        return kSBase + ((first - kLBase) * kVCount + (second - kVBase)) * kTCount;
    if (first >= kSBase && first < kSBase + kSCount && (first - kSBase) % kTCount == 0 &&
        second > kTBase && second < kTBase + kTCount)
        return first + (second - kTBase);
    auto it = std::lower_bound(
        std::begin(kCompositions), std::end(kCompositions), Composition{first, second, 0},
        [](const Composition& a, const Composition& b) {
            return a.first != b.first ? a.first < b.first : a.second < b.second;
        });
    return it != std::end(kCompositions) && it->first == first && it->second == second
               ? it->composite
               : 0;
}

// Canonical composition: each character joins the last starter unless a
// character of the same or a higher class (or a starter) stands between them.
void compose(std::vector<char32_t>& text) {
    if (text.empty())
        return;
    size_t starter = 0;
    bool haveStarter = combiningClass(text[0]) == 0;
    std::uint8_t lastClass = haveStarter ? 0 : 255;
    size_t write = 1;
    for (size_t read = 1; read < text.size(); ++read) {
        char32_t c = text[read];
        std::uint8_t cc = combiningClass(c);
        bool blocked = write - 1 != starter && (lastClass == 0 || lastClass >= cc);
        char32_t composite = haveStarter && !blocked ? composePair(text[starter], c) : 0;
        if (composite != 0) {
            text[starter] = composite;
            continue;
        }
        if (cc == 0) {
            starter = write;
            haveStarter = true;
        }
        lastClass = cc;
        text[write++] = c;
    }
    text.resize(write);
}

} // namespace

std::string normalizedCloudPath(std::string_view path) {
    if (path == "/")
        return {};
    std::vector<char32_t> decomposed;
    decomposed.reserve(path.size());
    for (char32_t c : CSDecodeUTF8(path)) {
        if (c == 0x130) { // capital I with dot lowercases to two characters
            decomposed.push_back('i');
            decomposed.push_back(0x307);
            continue;
        }
        decompose(lowercase(c), decomposed);
    }
    reorder(decomposed);
    compose(decomposed);
    std::string result;
    result.reserve(path.size());
    for (char32_t c : decomposed)
        CSAppendUTF8(result, c);
    return result;
}

bool isEqualToCloudPath(std::string_view path, std::string_view other) {
    return normalizedCloudPath(path) == normalizedCloudPath(other);
}
