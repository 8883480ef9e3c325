// AsBroadcaster, flash.geom and Color, driven from C++ through the interpreter's own member
// access and calls, as a script's actions would drive them. Expected values are the player's
// recorded answers (the broadcaster, Point, Rectangle, Matrix and ColorTransform movies).
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/interpreter.h"

namespace swivio::swf::avm1 {
namespace {

class NullHost : public ScriptHost {
public:
    void traceLine(std::string_view line) override { lines.emplace_back(line); }
    void scriptError(std::string_view message) override { errors.emplace_back(message); }
    std::vector<std::string> lines, errors;
};

class WorldBuiltinsTest : public ::testing::Test {
protected:
    explicit WorldBuiltinsTest(int version = 8) : vm(host, version) {}

    Value global(std::string_view name) { return vm.getMember(vm.global(), name); }
    Value geomClass(std::string_view name) {
        return vm.getMember(vm.getMember(global("flash"), "geom"), name);
    }
    Value make(std::string_view className, std::vector<Value> args = {}) {
        return vm.construct(geomClass(className), args);
    }
    Value call(const Value& object, std::string_view method, std::vector<Value> args = {}) {
        return vm.callMethod(object, method, args);
    }
    std::string text(const Value& v) { return vm.toString(v); }
    Value get(const Value& object, std::string_view name) { return vm.getMember(object, name); }
    void set(const Value& object, std::string_view name, Value v) {
        vm.setMember(object, name, v);
    }

    NullHost host;
    Interpreter vm;
};

// ---- AsBroadcaster ----

TEST_F(WorldBuiltinsTest, ListenerIsKeptOnceAndRemovedByLooseEquality) {
    Value broadcaster = vm.makeObject();
    call(global("AsBroadcaster"), "initialize", {broadcaster});
    Value listener = vm.makeObject();
    EXPECT_TRUE(call(broadcaster, "addListener", {listener}).boolean());
    EXPECT_TRUE(call(broadcaster, "addListener", {listener}).boolean());
    EXPECT_EQ(vm.toNumber(get(get(broadcaster, "_listeners"), "length")), 1);
    call(broadcaster, "addListener", {Value::null()});
    EXPECT_TRUE(call(broadcaster, "removeListener", {Value()}).boolean()); // null == undefined
    EXPECT_TRUE(call(broadcaster, "removeListener", {listener}).boolean());
    EXPECT_FALSE(call(broadcaster, "removeListener", {listener}).boolean());
    EXPECT_EQ(vm.toNumber(get(get(broadcaster, "_listeners"), "length")), 0);
}

} // namespace
} // namespace swivio::swf::avm1
