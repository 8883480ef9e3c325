// The String object as scripts reach it: what the methods leave to the caller (missing
// arguments, NaN, this of another type, lengths). Expected values are the player's recorded
// answers (the String movies for SWF 5, 6 and 8).
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/interpreter.h"

namespace swivio::swf::avm1 {
namespace {

class QuietHost : public ScriptHost {
public:
    void traceLine(std::string_view) override {}
    void scriptError(std::string_view) override {}
};

class StringProbe {
public:
    explicit StringProbe(int version) : m_vm(m_host, version) {}
    Interpreter& vm() { return m_vm; }
    Value call(const Value& self, const char* method, std::vector<Value> args = {}) {
        return m_vm.callMethod(self, method, args);
    }
    // The result as a script would see it: its type, then its string.
    std::string shown(const Value& v) { return m_vm.typeOf(v) + ":" + m_vm.toString(v); }

private:
    QuietHost m_host;
    Interpreter m_vm;
};

TEST(StringBuiltinsTest, MethodsOnAPrimitive) {
    const struct {
        int version;
        const char* text;
        const char* method;
        std::vector<Value> args;
        const char* shown;
    } cases[] = {
        {6, "abc", "charAt", {}, "string:a"},
        {6, "abc", "charCodeAt", {1}, "number:98"},
        {6, "abc", "charCodeAt", {9}, "number:NaN"},
        {5, "abc", "charCodeAt", {9}, "number:0"},
        {6, "abc", "charCodeAt", {-1}, "number:NaN"},
        {6, "abc", "indexOf", {}, "undefined:"},
        {6, "wallawallawashinGTON", "indexOf", {"lawas", -1}, "number:8"},
        {6, "wallawallawashinGTON", "indexOf", {"a", Value()}, "number:1"},
        {6, "abcabc", "lastIndexOf", {"b"}, "number:4"},
        {6, "abcabc", "lastIndexOf", {}, "undefined:"},
        {6, "abcdefghijklmnopqrstuvwxyz", "slice", {}, "undefined:"},
        {6, "abcdefghijklmnopqrstuvwxyz", "slice", {-5, -3}, "string:vw"},
        {6, "abcdefghijklmnopqrstuvwxyz", "substr", {-2, 3}, "string:yz"},
        {6, "abcdefghijklmnopqrstuvwxyz", "substr", {3, Value()}, "string:defghijklmnopqrstuvwxyz"},
        {6, "abcdefghijklmnopqrstuvwxyz", "substr", {}, "undefined:"},
        {6, "abcdefghijklmnopqrstuvwxyz", "substring", {5, 2}, "string:cde"},
        {6, "abcdefghijklmnopqrstuvwxyz", "substring", {}, "undefined:"},
        {6, "abc", "concat", {"sir ", "william", 15}, "string:abcsir william15"},
        {6, "wallawallawashinGTON", "toUpperCase", {}, "string:WALLAWALLAWASHINGTON"},
        {6, "wallawallawashinGTON", "toLowerCase", {}, "string:wallawallawashington"},
        {7, "abc", "concat", {Value()}, "string:abcundefined"},
        {6, "abc", "concat", {Value()}, "string:abc"},
    };
    for (const auto& c : cases) {
        StringProbe p(c.version);
        EXPECT_EQ(p.shown(p.call(c.text, c.method, c.args)), c.shown)
            << c.text << "." << c.method << " SWF " << c.version;
    }
}

TEST(StringBuiltinsTest, SplitGivesAnArray) {
    const struct {
        int version;
        const char* text;
        std::vector<Value> args;
        double length;
        const char* joined;
    } cases[] = {
        {6, "a,b,c", {","}, 3, "a,b,c"},
        {6, "a,b,c", {",", 2}, 2, "a,b"},
        {6, "aa", {"aa", Value()}, 2, ","},
        {6, "aa", {Value(), 0}, 1, "aa"},
        {6, "wallawallawashinGTON", {"la"}, 3, "wal,wal,washinGTON"},
        {5, "wallawallawashinGTON", {"la"}, 1, "wallawallawashinGTON"},
        {6, "", {"x", 0}, 1, ""},
        {5, "", {"x", 0}, 0, ""},
    };
    for (const auto& c : cases) {
        StringProbe p(c.version);
        Value parts = p.call(c.text, "split", c.args);
        ASSERT_TRUE(parts.isObject());
        EXPECT_EQ(parts.object()->kind(), ObjectKind::Array);
        EXPECT_EQ(p.vm().toNumber(p.vm().getMember(parts, "length")), c.length) << c.text;
        EXPECT_EQ(p.vm().toString(parts), c.joined) << c.text;
    }
}

TEST(StringBuiltinsTest, LengthOfPrimitivesAndObjects) {
    StringProbe p(6);
    EXPECT_EQ(p.shown(p.vm().getMember("Längere Wörter", "length")), "number:14");
    EXPECT_EQ(p.shown(p.vm().getMember(p.vm().builtins().stringProto, "length")), "undefined:");

    Value ctor = p.vm().getMember(p.vm().global(), "String");
    Value args[] = {"123"};
    Value object = p.vm().construct(ctor, args);
    EXPECT_EQ(p.shown(p.vm().getMember(object, "length")), "number:3");
    // A String object's own length can be set but not deleted.
    p.vm().setMember(object, "length", "another string");
    p.vm().deleteMember(object.object(), "length");
    EXPECT_EQ(p.shown(p.vm().getMember(object, "length")), "string:another string");
    EXPECT_EQ(p.shown(p.call(object, "valueOf")), "string:123");
    // Called as a function it converts.
    Value number[] = {12};
    EXPECT_EQ(p.shown(p.vm().call(ctor, Value(), number)), "string:12");
}

TEST(StringBuiltinsTest, FromCharCodeAndOtherThis) {
    StringProbe p(6);
    Value ctor = p.vm().getMember(p.vm().global(), "String");
    EXPECT_EQ(p.shown(p.call(ctor, "fromCharCode", {97, 98, 99, 100})), "string:abcd");
    EXPECT_EQ(p.shown(p.call(ctor, "fromCharCode", {-65456})), "string:P");

    // A method called on an object works on that object's string.
    Object* o = p.vm().makeObject();
    Value charAt = p.vm().getMember(p.vm().builtins().stringProto, "charAt");
    Value charCodeAt = p.vm().getMember(p.vm().builtins().stringProto, "charCodeAt");
    Value four[] = {4};
    EXPECT_EQ(p.shown(p.vm().call(charAt, o, four)), "string:e");
    EXPECT_EQ(p.shown(p.vm().call(charCodeAt, o, four)), "number:101");
}

} // namespace
} // namespace swivio::swf::avm1
