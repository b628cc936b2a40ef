#include <gtest/gtest.h>

#include <string>

#include "cs_json_value.h"

TEST(JsonValue, StringsInlineAndOnTheHeapCopyAndMove) {
    for (std::size_t length : {0u, 13u, 14u, 15u, 200u}) {
        const std::string text(length, 'q');
        CSJsonValue a(text);
        CSJsonValue b = a;
        EXPECT_EQ(b.stringView(), text);
        CSJsonValue c = std::move(a);
        EXPECT_EQ(c.stringView(), text);
        EXPECT_TRUE(a.isNull());
        b = c;
        b = std::move(b);
        EXPECT_EQ(b, c);
    }
}

TEST(JsonValue, ObjectsFindSetRemoveAndCompareWithoutOrder) {
    CSJsonValue object = CSJsonValue::object({{"a", 1}, {"b", "two"}});
    ASSERT_TRUE(object.find("b"));
    EXPECT_EQ(object.find("b")->asString(), "two");
    EXPECT_EQ(object.find("c"), nullptr);
    EXPECT_EQ(CSJsonValue(5).find("a"), nullptr);
    object.set("a", CSJsonValue::array({object})); // a copy of itself, taken before the change
    EXPECT_EQ(object.find("a")->elements()[0].find("a")->asInt64(), 1);
    EXPECT_EQ(object.members()[0].key(), "a");
    EXPECT_EQ(CSJsonValue::object({{"x", 1}, {"y", 2}}), CSJsonValue::object({{"y", 2}, {"x", 1}}));
    EXPECT_NE(CSJsonValue::object({{"x", 1}}), CSJsonValue::object({{"x", 1}, {"y", 2}}));
    EXPECT_TRUE(object.remove("b"));
    EXPECT_FALSE(object.remove("b"));
    CSJsonValue inner = CSJsonValue::array({CSJsonValue::array({7})});
    inner = std::move(inner.mutableElements()[0]); // a value moved out of its own tree
    EXPECT_EQ(inner, CSJsonValue::array({7}));
}
