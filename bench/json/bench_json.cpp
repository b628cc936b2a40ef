// Folder listings of 1 MB and 20 MB: our reader into the value tree, the tree
// into CSMetadata records, and RapidJSON's DOM parse of the same text in the
// same run. Prints MB/s, the ratio to RapidJSON and the tree's memory.
//
//   bench_json                  the table
//   bench_json --once WHO MB    one parse (WHO: ours or rapidjson), for callgrind

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "cs_json.h"
#include "cs_metadata.h"
#include "listing_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

} // namespace

// Kept out of line and unmangled so that callgrind can count them alone.
extern "C" __attribute__((noinline)) bool bench_parse_ours(const std::string* text,
                                                           std::optional<CSJsonValue>* out) {
    CSJsonParser parser;
    *out = parser.objectWithString(*text);
    return out->has_value();
}

extern "C" __attribute__((noinline)) bool bench_parse_rapidjson(const std::string* text,
                                                                rapidjson::Document* out) {
    out->Parse(text->data(), text->size());
    return !out->HasParseError();
}

namespace {

template <typename F> double medianSeconds(int runs, F&& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run());
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

template <typename F> double timed(F&& body) {
    const auto start = Clock::now();
    body();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int countRecords(const CSMetadata& m) {
    int n = 1;
    if (m.contents())
        for (const CSMetadata& child : *m.contents())
            n += countRecords(child);
    return n;
}

bool measure(std::size_t megabytes, int runs) {
    const std::string text = generateListing(megabytes << 20);
    const double mb = static_cast<double>(text.size()) / (1 << 20);

    std::optional<CSJsonValue> tree;
    const std::size_t before = heapInUse();
    if (!bench_parse_ours(&text, &tree)) {
        std::fprintf(stderr, "bench_json: our reader refused the listing\n");
        return false;
    }
    const double treeRatio =
        static_cast<double>(heapInUse() - before) / static_cast<double>(text.size());
    std::optional<CSMetadata> records = CSMetadata::initWithDictionary(*tree);
    const int recordCount = records ? countRecords(*records) : 0;
    records.reset();
    tree.reset();

    std::size_t rapidBytes = 0;
    {
        const std::size_t rapidBefore = heapInUse();
        rapidjson::Document document;
        if (!bench_parse_rapidjson(&text, &document)) {
            std::fprintf(stderr, "bench_json: RapidJSON refused the listing\n");
            return false;
        }
        rapidBytes = heapInUse() - rapidBefore;
    }

    const double ours = medianSeconds(runs, [&] {
        std::optional<CSJsonValue> value;
        return timed([&] { bench_parse_ours(&text, &value); });
    });
    const double rapid = medianSeconds(runs, [&] {
        rapidjson::Document document;
        return timed([&] { bench_parse_rapidjson(&text, &document); });
    });
    std::optional<CSJsonValue> parsed;
    bench_parse_ours(&text, &parsed);
    const double build = medianSeconds(runs, [&] {
        std::optional<CSMetadata> m;
        return timed([&] { m = CSMetadata::initWithDictionary(*parsed); });
    });
    const double endToEnd = medianSeconds(runs, [&] {
        std::optional<CSMetadata> m;
        return timed([&] {
            std::optional<CSJsonValue> value;
            bench_parse_ours(&text, &value);
            m = CSMetadata::initWithDictionary(*value);
        });
    });

    std::printf("%5.1f MB | %8.0f | %8.0f | %5.2f | %9.0f | %8.0f | %7d |  %4.2fx | %4.2fx\n", mb,
                mb / ours, mb / rapid, rapid / ours, mb / build, mb / endToEnd, recordCount,
                treeRatio, static_cast<double>(rapidBytes) / static_cast<double>(text.size()));
    return true;
}

int once(const char* who, std::size_t megabytes) {
    const std::string text = generateListing(megabytes << 20);
    if (std::strcmp(who, "ours") == 0) {
        std::optional<CSJsonValue> value;
        return bench_parse_ours(&text, &value) ? 0 : 1;
    }
    rapidjson::Document document;
    return bench_parse_rapidjson(&text, &document) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--once") == 0)
        return once(argv[2], std::strtoul(argv[3], nullptr, 10));
    std::printf("JSON folder listings, MB/s of listing text (median of the runs)\n");
    std::printf("  reader: text -> value tree; peer: RapidJSON DOM parse; ratio: reader speed / "
                "peer speed\n");
    std::printf("  records: value tree -> CSMetadata; both: text -> CSMetadata; memory: heap in "
                "use / text size\n");
    std::printf(" listing |   reader |     peer | ratio |   records |     both | entries | memory "
                "| peer memory\n");
    bool ok = measure(1, 41);
    ok = measure(20, 7) && ok;
    return ok ? 0 : 1;
}
