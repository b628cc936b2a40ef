#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "cs_json.h"

namespace {

using Trace = std::vector<std::pair<int, std::string>>;

Trace traceOf(const CSJsonBase& base) {
    Trace trace;
    for (const auto& record : base.errorTrace())
        trace.emplace_back(record->code, record->description);
    return trace;
}

Trace fragmentTrace(std::string_view text) {
    CSJsonParser parser;
    EXPECT_FALSE(parser.fragmentWithString(text)) << text;
    return traceOf(parser);
}

CSJsonValue fragment(std::string_view text) {
    CSJsonParser parser;
    auto value = parser.fragmentWithString(text);
    EXPECT_TRUE(value) << text << " " << CSJsonDescribeTrace(parser.errorTrace());
    return value.value_or(CSJsonValue());
}

struct TraceCase {
    std::string text;
    Trace trace;
};

} // namespace

// One row per error code, and per bound of the decimal kind and of UTF-8.
TEST(JsonReaderErrors, EachFailureLeavesItsCodedTrace) {
    // clang-format off
    const std::vector<TraceCase> cases = {
        {"", {{11, "Unexpected end of string"}}},
        {"[1,]", {{9, "Trailing comma disallowed in array"}}},
        {"[,1]", {{3, "Unrecognised leading character"}, {3, "Expected value while parsing array"}}},
        {"01", {{2, "Leading 0 disallowed in number"}}},
        {"[1] x", {{10, "Garbage after JSON"}}},
        {"\"a\tb\"", {{5, "Unescaped control character '0x9'"}}},
        {"\"\\ud83d\\u0041\"", {{6, "Invalid low surrogate char"}, {6, "Broken unicode character"}}},
        {"\"\\q\"", {{8, "Illegal escape sequence '0x71'"}}},
        {"[\"x\" , {\"k\": [nul]}]", {{3, "Expected 'null'"}, {3, "Expected value while parsing array"},
                                      {3, "Object value expected for key: k"}, {3, "Expected value while parsing array"}}},
        {"1e-129", {{2, "Failed creating decimal instance"}}},
        {"123456789012345678901234567890123456789012", {{2, "Failed creating decimal instance"}}},
        {"\"\xED\xA0\x80\"", {{3, "Invalid UTF-8 in string"}}},
        {"\"\xC0\xAF\"", {{3, "Invalid UTF-8 in string"}}},
        {"\"aaaaaaaaaaaaaaaaaaaa\xFF\"", {{3, "Invalid UTF-8 in string"}}},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(fragmentTrace(c.text), c.trace) << c.text;
}

TEST(JsonReaderErrors, ReadsStopAtTheEndOfTheText) {
    // Truncated literals, escapes and quads fail without reading past the
    // end, although the bytes after the view would complete them.
    const std::vector<std::tuple<std::string, std::size_t, int>> cases = {
        {"true", 3, 3},    {"null", 2, 3}, {"\"\\u0041\"", 5, 6}, {"\"\\ud83d\\ude00\"", 10, 6},
        {"\"\\n\"", 2, 8}, {"12e5", 3, 2},
    };
    for (const auto& [backing, length, code] : cases) {
        const std::string_view text = std::string_view(backing).substr(0, length);
        CSJsonParser parser;
        EXPECT_FALSE(parser.fragmentWithString(text)) << text;
        ASSERT_FALSE(parser.errorTrace().empty());
        EXPECT_EQ(parser.errorTrace().front()->code, code) << text;
    }
}

TEST(JsonReaderTopLevel, FragmentAndObjectEntries) {
    CSJsonParser parser;
    auto value = parser.fragmentWithString("  42 ");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->asInt64(), 42);
    EXPECT_FALSE(parser.objectWithString("  42 "));
    EXPECT_EQ(traceOf(parser), (Trace{{4, "Valid fragment, but not JSON"}}));
    EXPECT_TRUE(parser.objectWithString("[1]  \n"));
    EXPECT_TRUE(parser.errorTrace().empty()) << "each call starts with a clear trace";
    EXPECT_FALSE(parser.fragmentWithString(std::nullopt));
    EXPECT_EQ(traceOf(parser), (Trace{{12, "Input was 'nil'"}}));
}

TEST(JsonReaderTopLevel, DepthLimit) {
    auto nested = [](int levels) { return std::string(levels, '[') + std::string(levels, ']'); };
    CSJsonParser parser;
    EXPECT_TRUE(parser.objectWithString(nested(512)));
    EXPECT_FALSE(parser.objectWithString(nested(513)));
    EXPECT_EQ(parser.errorTrace().front()->code, 7);
    EXPECT_EQ(parser.errorTrace().front()->description, "Nested too deep");
    EXPECT_EQ(parser.errorTrace().size(), 513u);
    parser.setMaxDepth(3);
    EXPECT_TRUE(parser.objectWithString("{\"a\":[{}]}"));
    EXPECT_FALSE(parser.objectWithString("{\"a\":[{\"b\":[]}]}"));
    // Without a limit, nesting deep enough to exhaust a stack is still
    // refused; the deepest tree accepted can be copied, compared and written.
    parser.setMaxDepth(0);
    const std::string deepest = nested(static_cast<int>(CSJsonBase::kDepthCeiling));
    auto tree = parser.objectWithString(deepest);
    ASSERT_TRUE(tree);
    const CSJsonValue copy = *tree;
    EXPECT_EQ(copy, *tree);
    CSJsonWriter writer;
    writer.setMaxDepth(0);
    EXPECT_EQ(writer.stringWithObject(copy), deepest);
    EXPECT_FALSE(parser.objectWithString(nested(static_cast<int>(CSJsonBase::kDepthCeiling) + 1)));
    EXPECT_EQ(parser.errorTrace().front()->code, 7);
    EXPECT_FALSE(parser.objectWithString(nested(200000)));
}

TEST(JsonReaderValues, BlanksAndStrings) {
    // Blanks include vertical tab and form feed, but not a no-break space.
    EXPECT_EQ(fragment("\v[\f1,\r\t2 \n]\v\f"), CSJsonValue::array({1, 2}));
    EXPECT_FALSE(CSJsonParser().fragmentWithString("[1,\xc2\xa0"
                                                   "2]"));
    EXPECT_EQ(fragment("\"\\ud83d\\ude00\"").stringView(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(fragment("\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"").stringView(), "\"\\/\b\f\n\r\t");
    EXPECT_EQ(fragment("\"a\\u0000b\"").stringView(), std::string_view("a\0b", 3));
    const std::string longText(300, 'x');
    EXPECT_EQ(fragment("\"" + longText + "\\n" + longText + "\"").stringView(),
              longText + "\n" + longText);
}

TEST(JsonReaderValues, NumbersKeepTheirDecimalDigits) {
    EXPECT_EQ(fragment("-12.50e3").asDecimal(), (CSJsonDecimal{1250, 1, true}));
    EXPECT_EQ(fragment("1E-128").asDecimal(), (CSJsonDecimal{1, -128, false}));
    EXPECT_EQ(fragment("1e130").asDecimal(), (CSJsonDecimal{1000, 127, false}));
    EXPECT_EQ(fragment("-0").asDecimal(), CSJsonDecimal{});
    // 38 significant digits survive exactly.
    const std::string digits = "12345678901234567890123456789012345678";
    const CSJsonDecimal big = fragment(digits).asDecimal();
    EXPECT_EQ(big.toString(), digits);
    EXPECT_EQ(fragment("0." + digits).asDecimal().toString(), "0." + digits);
    EXPECT_EQ(fragment("18446744073709551616").asInt64(), INT64_MAX);
    EXPECT_EQ(fragment("-9223372036854775808").asInt64(), INT64_MIN);
    EXPECT_EQ(fragment("12.99").asInt64(), 12);
}

TEST(JsonReaderValues, RepeatedKeysKeepTheLastValueAtTheFirstPosition) {
    const CSJsonValue value = fragment("{\"a\":1,\"b\":2,\"a\":3,\"c\":4,\"b\":5}");
    ASSERT_EQ(value.size(), 3u);
    const auto& members = value.members();
    EXPECT_EQ(members[0].key(), "a");
    EXPECT_EQ(members[0].value.asInt64(), 3);
    EXPECT_EQ(members[1].key(), "b");
    EXPECT_EQ(members[1].value.asInt64(), 5);
    EXPECT_EQ(members[2].key(), "c");
}

TEST(JsonFacade, KeepsTheLastFailureAndHandsOutItsLastRecord) {
    CSJSON json;
    CSJsonErrorPtr error;
    EXPECT_FALSE(json.fragmentWithString("{\"a\":[}", &error));
    ASSERT_EQ(json.errorTrace().size(), 3u);
    EXPECT_EQ(error, json.errorTrace().back());
    json.setMaxDepth(1);
    EXPECT_FALSE(json.objectWithString("[[]]", &error));
    EXPECT_EQ(json.errorTrace().front()->code, 7);
    EXPECT_FALSE(json.stringWithObject(CSJsonValue::array({CSJsonValue::array()}), &error));
    EXPECT_EQ(error->code, 7);
}
