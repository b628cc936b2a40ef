#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cs_json.h"
#include "cs_log.h"

namespace {

std::string written(const CSJsonValue& value, bool humanReadable = false, bool sortKeys = false) {
    CSJsonWriter writer;
    writer.setHumanReadable(humanReadable);
    writer.setSortKeys(sortKeys);
    auto text = writer.stringWithFragment(value);
    EXPECT_TRUE(text) << CSJsonDescribeTrace(writer.errorTrace());
    return text.value_or("");
}

class CapturedLog {
public:
    std::vector<std::string> lines;
    CSLogRedirect redirect{[this](const std::string& line) { lines.push_back(line); }};
};

struct Replaced : CSJsonProxy {
    std::optional<CSJsonValue> replacement;
    std::optional<CSJsonValue> proxyForJson() const override { return replacement; }
};

} // namespace

TEST(JsonWriter, EscapesExactlyControlsQuoteAndBackslash) {
    EXPECT_EQ(written("a/b"), "\"a/b\"");
    EXPECT_EQ(written("\x01"), "\"\\u0001\"");
    EXPECT_EQ(written("q\"b\\t\tn\nr\rb\bf\f\x1f"), "\"q\\\"b\\\\t\\tn\\nr\\rb\\bf\\f\\u001f\"");
    EXPECT_EQ(written("\xC3\xA9\xF0\x9F\x98\x80\x7f"), "\"\xC3\xA9\xF0\x9F\x98\x80\x7f\"");
    EXPECT_EQ(written(CSJsonValue(std::string_view("\0", 1))), "\"\\u0000\"");
}

TEST(JsonWriter, ScalarsAndIntegersAsPlainDigits) {
    EXPECT_EQ(written(CSJsonValue::array({true, false, nullptr, 0, -7, INT64_MIN, UINT64_MAX})),
              "[true,false,null,0,-7,-9223372036854775808,18446744073709551615]");
    EXPECT_EQ(written(CSJsonDecimal{5, 3, false}), "5000");
    EXPECT_EQ(written(CSJsonDecimal{125, -2, true}), "-1.25");
    EXPECT_EQ(written(CSJsonDecimal{5, -3, false}), "0.005");
    EXPECT_EQ(written(CSJsonDecimal{5, -100, false}), "5e-100");
}

TEST(JsonWriter, HumanReadableLayout) {
    const CSJsonValue value = CSJsonValue::object({{"a", 1}, {"b", CSJsonValue::array({1, 2})}});
    EXPECT_EQ(written(value, true), "{\n  \"a\" : 1,\n  \"b\" : [\n    1,\n    2\n  ]\n}");
    EXPECT_EQ(written(value), "{\"a\":1,\"b\":[1,2]}");
    EXPECT_EQ(written(CSJsonValue::array({CSJsonValue::array(), CSJsonValue::object()}), true),
              "[\n  [],\n  {}\n]");
}

TEST(JsonWriter, KeysInInsertionOrderOrSorted) {
    CSJsonValue value = CSJsonValue::object({{"b", 1}, {"a", 2}, {"B", 3}});
    value.set("b", 4);
    EXPECT_EQ(written(value), "{\"b\":4,\"a\":2,\"B\":3}");
    EXPECT_EQ(written(value, false, true), "{\"B\":3,\"a\":2,\"b\":4}");
}

TEST(JsonWriter, TopLevelKindDepthAndReplacement) {
    CSJsonWriter writer;
    EXPECT_FALSE(writer.stringWithObject("text"));
    ASSERT_EQ(writer.errorTrace().size(), 1u);
    EXPECT_EQ(writer.errorTrace()[0]->code, 4);

    CSJsonValue deep = CSJsonValue::array();
    for (int i = 0; i < 512; ++i)
        deep = CSJsonValue::object({{"k", std::move(deep)}});
    EXPECT_FALSE(writer.stringWithObject(deep));
    EXPECT_EQ(writer.errorTrace().front()->description, "Nested too deep");
    EXPECT_EQ(writer.errorTrace()[1]->description, "Unsupported value for key k in object");
    EXPECT_TRUE(writer.stringWithObject(deep.find("k")->find("k") ? *deep.find("k") : deep));

    Replaced proxy;
    EXPECT_FALSE(writer.stringWithObject(proxy));
    EXPECT_EQ(writer.errorTrace().back()->code, 4);
    proxy.replacement = CSJsonValue::array({1});
    EXPECT_EQ(writer.stringWithObject(proxy), "[1]");
    proxy.replacement = CSJsonValue(1);
    EXPECT_FALSE(writer.stringWithObject(proxy));
}

TEST(JsonWriter, RoundTripThroughTheReader) {
    const std::string text =
        "{\"path\":\"/Photos/\xC3\x89t\xC3\xA9 \\\"2010\\\"\\n\",\"bytes\":524288,\"ratio\":-0.125,"
        "\"list\":[null,true,{\"\":[]}],\"big\":123456789012345678901234567890123456}";
    CSJsonParser parser;
    auto value = parser.objectWithString(text);
    ASSERT_TRUE(value);
    EXPECT_EQ(written(*value), text);
    EXPECT_EQ(parser.objectWithString(written(*value, true, true)), value);
}

TEST(JsonConvenience, FailuresLogOneLineWithTheTrace) {
    CapturedLog log;
    EXPECT_EQ(JSONValue("{\"a\":[1,2]}"), CSJsonValue::object({{"a", CSJsonValue::array({1, 2})}}));
    EXPECT_EQ(JSONFragmentValue("\"x\""), CSJsonValue("x"));
    EXPECT_EQ(JSONRepresentation(CSJsonValue::array({1})), "[1]");
    EXPECT_EQ(JSONFragment(CSJsonValue(3)), "3");
    EXPECT_TRUE(log.lines.empty());

    EXPECT_FALSE(JSONValue(std::nullopt));
    EXPECT_FALSE(JSONValue(static_cast<const char*>(nullptr)));
    EXPECT_TRUE(log.lines.empty()) << "absent text logs nothing";

    EXPECT_FALSE(JSONValue("{\"a\": tru}"));
    EXPECT_FALSE(JSONFragmentValue(""));
    EXPECT_FALSE(JSONRepresentation(CSJsonValue(1)));
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[0], "[ERROR] -JSONValue failed. Error trace is: (Code 3: Expected 'true', "
                            "Code 3: Object value expected for key: a)");
    EXPECT_EQ(
        log.lines[1],
        "[ERROR] -JSONFragmentValue failed. Error trace is: (Code 11: Unexpected end of string)");
    EXPECT_EQ(
        log.lines[2].rfind("[ERROR] -JSONRepresentation failed. Error trace is: (Code 4: ", 0), 0u);
}
