#include "base/json_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace swivio {
namespace {

TEST(JsonReader, ReadsNestedValuesInOrder) {
    auto json = parseJson(R"( {"a": [1, -2.5e1, true, null], "b": "x\u00e9\ud83d\ude00\n", "a": {}} )");
    ASSERT_TRUE(json) << json.message();
    ASSERT_EQ(json->members().size(), 3u);
    const JsonValue* a = json->find("a");
    ASSERT_TRUE(a && a->isArray());
    ASSERT_EQ(a->items().size(), 4u);
    EXPECT_EQ(a->items()[1].number(), -25);
    EXPECT_TRUE(a->items()[2].boolean());
    EXPECT_TRUE(a->items()[3].isNull());
    EXPECT_EQ(json->find("b")->string(), "x\xC3\xA9\xF0\x9F\x98\x80\n");
    EXPECT_EQ(json->find("c"), nullptr);
}

TEST(JsonReader, RefusesBadTextSayingWhere) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "line 1, column 1: the text ends early"},
        {"[1,\n 2", "line 2, column 3: the text ends early"},
        {"[1 2]", "line 1, column 4: expected ',' or ']'"},
        {"{\"a\" 1}", "line 1, column 6: expected ':'"},
        {"{a: 1}", "line 1, column 2: expected a member name"},
        {"[01]", "line 1, column 3: expected ',' or ']'"},
        {"\"tab\there\"", "a control character"},
        {"\"\\q\"", "unknown escape"},
        {"[1e999]", "too large"},
        {"[] []", "unexpected text after the value"},
        {"nul", "unknown word"},
    };
    for (const Case& c : cases) {
        auto json = parseJson(c.text);
        ASSERT_FALSE(json) << c.text;
        EXPECT_NE(json.message().find(c.message), std::string::npos)
            << c.text << " -> " << json.message();
    }
}

TEST(JsonReader, KeepsToItsLimits) {
    JsonLimits limits;
    limits.maxDepth = 4;
    EXPECT_TRUE(parseJson("[[[[]]]]", limits));
    EXPECT_FALSE(parseJson("[[[[[]]]]]", limits));
    // Deep nesting far past the limit fails without exhausting the stack.
    EXPECT_FALSE(parseJson(std::string(1000000, '[')));
    limits.maxBytes = 3;
    EXPECT_FALSE(parseJson("[1] ", limits));
}

} // namespace
} // namespace swivio
