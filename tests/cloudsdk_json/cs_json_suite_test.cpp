// The public parsing suite: every y_ file is read, every n_ file refused with
// an error trace, and no file (i_ included) crashes or hangs the reader.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "cs_json.h"

namespace {

// Files where this reader's own rules deliberately differ from strict JSON.
const std::set<std::string> kAcceptedDespiteN = {
    // "[\f]": form feed (like vertical tab) counts as a blank between tokens.
    "n_structure_whitespace_formfeed.json",
};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(JsonTestSuite, EveryFileAsItsPrefixDemands) {
    const std::filesystem::path folder = JSON_TEST_SUITE_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(folder));
    int counted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::string text = readFile(entry.path());
        CSJsonParser parser;
        const bool read = parser.fragmentWithString(text).has_value();
        ++counted;
        if (name.starts_with("y_")) {
            EXPECT_TRUE(read) << name << ": " << CSJsonDescribeTrace(parser.errorTrace());
        } else if (name.starts_with("n_")) {
            if (kAcceptedDespiteN.count(name)) {
                EXPECT_TRUE(read) << name << " is listed as accepted";
                continue;
            }
            EXPECT_FALSE(read) << name;
            EXPECT_FALSE(parser.errorTrace().empty()) << name;
        } else {
            EXPECT_EQ(read, parser.errorTrace().empty()) << name;
        }
    }
    EXPECT_GT(counted, 300);
}
