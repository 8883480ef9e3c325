// AMF0: the byte layouts of values as the format documents them, round trips through the
// reader, aliases of registered classes, and damaged input refused.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/amf0.h"
#include "tests/swf/avm1/script_probe.h"

namespace swivio::swf::avm1 {
namespace {

std::vector<uint8_t> encode(Interpreter& vm, const Value& value) {
    Amf0Writer writer(vm);
    writer.write(value);
    return writer.bytes();
}

struct LayoutCase {
    const char* name;
    Value value;
    std::vector<uint8_t> bytes;
};

TEST(Amf0Test, PrimitivesHaveTheirDocumentedLayout) {
    ScriptProbe probe(8);
    const LayoutCase cases[] = {
        {"number", Value(1.5), {0x00, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0}},
        {"true", Value(true), {0x01, 0x01}},
        {"string", Value("ab"), {0x02, 0x00, 0x02, 'a', 'b'}},
        {"null", Value::null(), {0x05}},
        {"undefined", Value(), {0x06}},
    };
    for (const LayoutCase& c : cases)
        EXPECT_EQ(encode(probe.vm(), c.value), c.bytes) << c.name;
}

TEST(Amf0Test, ObjectsAndArraysHaveTheirDocumentedLayout) {
    ScriptProbe probe(8);
    Interpreter& vm = probe.vm();
    Object* object = vm.makeObject();
    object->define("a", 1.0, 0);
    object->define("hidden", 2.0, kDontEnum);
    vm.defineMethod(object, "f", nullptr, 0); // functions never go out
    EXPECT_EQ(encode(vm, object), (std::vector<uint8_t>{0x03, 0, 1, 'a', 0x00, 0x3F, 0xF0, 0, 0, 0,
                                                        0, 0, 0, 0, 0, 0x09}));

    Value two[] = {Value("x"), Value()};
    ArrayObject* dense = vm.makeArray(two);
    EXPECT_EQ(encode(vm, dense), (std::vector<uint8_t>{0x0A, 0, 0, 0, 2, 0x02, 0, 1, 'x', 0x06}));
    dense->define("k", true, 0); // a named member makes an ECMA array
    EXPECT_EQ(encode(vm, dense),
              (std::vector<uint8_t>{0x08, 0, 0,   0,    2, 0, 1,   '0',  0x02, 0, 1, 'x',
                                    0,    1, '1', 0x06, 0, 1, 'k', 0x01, 0x01, 0, 0, 0x09}));
}

TEST(Amf0Test, AnObjectMetAgainIsAReference) {
    ScriptProbe probe(8);
    Interpreter& vm = probe.vm();
    Object* inner = vm.makeObject();
    Object* outer = vm.makeObject();
    outer->define("p", inner, 0);
    outer->define("q", inner, 0);
    inner->define("self", inner, 0);
    const std::vector<uint8_t> bytes = encode(vm, outer);
    // outer is reference 0, inner 1: inner.self and outer.q point back at 1.
    const std::vector<uint8_t> expected{0x03, 0,   1,    'p', 0x03, 0, 4, 's',  'e',
                                        'l',  'f', 0x07, 0,   1,    0, 0, 0x09, 0,
                                        1,    'q', 0x07, 0,   1,    0, 0, 0x09};
    EXPECT_EQ(bytes, expected);
    Amf0Reader reader(vm, bytes);
    auto back = reader.read();
    ASSERT_TRUE(back && back->object());
    Object* p = vm.getMember(*back, "p").object();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(vm.getMember(p, "self").object(), p);
    EXPECT_EQ(vm.getMember(*back, "q").object(), p);
}

TEST(Amf0Test, ValuesSurviveARoundTrip) {
    ScriptProbe probe(8);
    Interpreter& vm = probe.vm();
    Object* object = vm.makeObject();
    object->define("n", -0.25, 0);
    object->define("s", std::string(70000, 'z'), 0); // a long string
    Value elements[] = {Value(true), Value::null(), Value("e")};
    object->define("list", vm.makeArray(elements), 0);
    Value when[] = {Value(1672531200000.0)};
    object->define("d", vm.construct(vm.getMember(vm.global(), "Date"), when), 0);

    const std::vector<uint8_t> bytes = encode(vm, object);
    Amf0Reader reader(vm, bytes);
    auto back = reader.read();
    ASSERT_TRUE(back);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(vm.toNumber(vm.getMember(*back, "n")), -0.25);
    EXPECT_EQ(vm.toString(vm.getMember(*back, "s")).size(), 70000u);
    Value list = vm.getMember(*back, "list");
    EXPECT_EQ(vm.toString(list), "true,null,e");
    EXPECT_EQ(vm.toNumber(vm.callMethod(vm.getMember(*back, "d"), "getTime", {})), 1672531200000.0);
    EXPECT_EQ(encode(vm, *back), bytes);
}

TEST(Amf0Test, RegisteredClassesGoOutUnderTheirNewestAlias) {
    for (int version : {6, 8}) {
        ScriptProbe probe(version);
        Interpreter& vm = probe.vm();
        Value first = vm.makeNative(nullptr);
        Value second = vm.makeNative(nullptr);
        registerAmfAlias(vm, "one", first);
        registerAmfAlias(vm, "two", first);
        registerAmfAlias(vm, "shared", first);
        registerAmfAlias(vm, "SHARED", second); // the same alias before version 7
        EXPECT_EQ(amfAliasOf(vm, first.object()), version < 7 ? "two" : "shared") << version;
        EXPECT_EQ(amfAliasOf(vm, second.object()), "SHARED") << version;

        Object* object = vm.makeObject();
        object->define("constructor", second, kDontEnum);
        const std::vector<uint8_t> bytes = encode(vm, object);
        EXPECT_EQ(bytes,
                  (std::vector<uint8_t>{0x10, 0, 6, 'S', 'H', 'A', 'R', 'E', 'D', 0, 0, 0x09}));
    }
}

TEST(Amf0Test, DamagedInputIsRefused) {
    ScriptProbe probe(8);
    const std::vector<std::vector<uint8_t>> damaged{
        {},                                   // nothing
        {0x00, 0x3F},                         // a cut number
        {0x02, 0x00, 0x05, 'a'},              // a string longer than the input
        {0x0A, 0xFF, 0xFF, 0xFF, 0xFF, 0x06}, // a count past the input
        {0x07, 0x00, 0x00},                   // a reference to nothing
        {0x03, 0x00, 0x01, 'a', 0x06},        // an object without its end
        {0x0D + 1},                           // no such type
    };
    for (const auto& bytes : damaged) {
        Amf0Reader reader(probe.vm(), bytes);
        EXPECT_FALSE(reader.read()) << bytes.size();
    }
    // Nesting past any real data stops instead of exhausting the stack.
    std::vector<uint8_t> deep;
    for (int i = 0; i < 1000; ++i)
        deep.insert(deep.end(), {0x0A, 0, 0, 0, 1}); // an array holding an array...
    Amf0Reader reader(probe.vm(), deep);
    EXPECT_FALSE(reader.read());
}

TEST(Amf0Test, ARemotingRequestWrapsTheArguments) {
    ScriptProbe probe(8);
    Value args[] = {Value(1.0)};
    const std::vector<uint8_t> packet = amf0Request(probe.vm(), "m", "/1", args);
    const std::vector<uint8_t> expected{0,    0,    0,    0, 0, 1,  0,    1, 'm', 0, 2,
                                        '/',  '1',  0,    0, 0, 14, 0x0A, 0, 0,   0, 1,
                                        0x00, 0x3F, 0xF0, 0, 0, 0,  0,    0, 0};
    EXPECT_EQ(packet, expected);
}

} // namespace
} // namespace swivio::swf::avm1
