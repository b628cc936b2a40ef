#include <gtest/gtest.h>

#include <string>

#include "cs_json.h"

namespace {

std::string written(const CSJsonValue& value, bool humanReadable = false) {
    CSJsonWriter writer;
    writer.setHumanReadable(humanReadable);
    auto text = writer.stringWithFragment(value);
    EXPECT_TRUE(text) << CSJsonDescribeTrace(writer.errorTrace());
    return text.value_or("");
}

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

TEST(JsonWriter, KeysInInsertionOrder) {
    CSJsonValue value = CSJsonValue::object({{"b", 1}, {"a", 2}, {"B", 3}});
    value.set("b", 4);
    EXPECT_EQ(written(value), "{\"b\":4,\"a\":2,\"B\":3}");
}

TEST(JsonWriter, TopLevelKindAndDepth) {
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
}

TEST(JsonWriter, RoundTripThroughTheReader) {
    const std::string text =
        "{\"path\":\"/Photos/\xC3\x89t\xC3\xA9 \\\"2010\\\"\\n\",\"bytes\":524288,\"ratio\":-0.125,"
        "\"list\":[null,true,{\"\":[]}],\"big\":123456789012345678901234567890123456}";
    CSJsonParser parser;
    auto value = parser.objectWithString(text);
    ASSERT_TRUE(value);
    EXPECT_EQ(written(*value), text);
    EXPECT_EQ(parser.objectWithString(written(*value, true)), value);
}
