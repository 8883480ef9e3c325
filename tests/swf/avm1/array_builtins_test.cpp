// Expected values are the player's recorded answers (its array, splice, unshift and sort
// movies) or its documented Array behaviour.
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

// One interpreter, and the calls a script would make on arrays.
class ArrayProbe {
public:
    explicit ArrayProbe(int version = 7) : m_vm(m_host, version) {}
    Interpreter& vm() { return m_vm; }
    Value array(std::vector<Value> elements) { return m_vm.makeArray(elements); }
    Value call(const Value& self, const char* method, std::vector<Value> args = {}) {
        return m_vm.callMethod(self, method, args);
    }
    Value flag(const char* name) {
        return m_vm.getMember(m_vm.getMember(m_vm.global(), "Array"), name);
    }
    std::string text(const Value& v) { return m_vm.toString(v); }
    double length(const Value& v) { return m_vm.toNumber(m_vm.getMember(v, "length")); }

private:
    QuietHost m_host;
    Interpreter m_vm;
};

TEST(ArrayBuiltinsTest, MethodsAnswerAndChangeTheArray) {
    const struct {
        const char* method;
        std::vector<Value> before;
        std::vector<Value> args;
        const char* result; // the result's string; "undefined" for none
        const char* after;
    } cases[] = {
        {"splice", {"a", "b", "c", "d", "e"}, {1, 3, "deleted"}, "b,c,d", "a,deleted,e"},
        {"splice", {"a", "b", "c", "d", "e"}, {2}, "c,d,e", "a,b"},
        {"splice", {"a", "b", "c", "d", "e"}, {-9, 0, "c"}, "", "c,a,b,c,d,e"},
        {"splice", {"a", "b", "c", "d", "e"}, {Value()}, "undefined", "a,b,c,d,e"},
        {"splice", {"a", "b", "c", "d", "e"}, {2, Value()}, "undefined", "a,b,c,d,e"},
        {"splice", {"a", "b", "c", "d", "e"}, {2, -2}, "undefined", "a,b,c,d,e"},
        {"splice", {"a", "b", "c", "d", "e"}, {}, "undefined", "a,b,c,d,e"},
        {"slice", {0, 1, 2, 3, 4, 5, 6}, {2, -2}, "2,3,4", "0,1,2,3,4,5,6"},
        {"slice", {0, 1, 2, 3, 4, 5, 6}, {-18, 3}, "0,1,2", "0,1,2,3,4,5,6"},
        {"slice", {0, 1, 2, 3, 4, 5, 6}, {0, -8}, "", "0,1,2,3,4,5,6"},
        {"push", {1}, {2, 3}, "3", "1,2,3"},
        {"pop", {1, 2}, {}, "2", "1"},
        {"pop", {}, {}, "undefined", ""},
        {"shift", {1, 2}, {}, "1", "2"},
        {"unshift", {1, 2, 3}, {42, 43}, "5", "42,43,1,2,3"},
        {"reverse", {1, 2, 3}, {}, "3,2,1", "3,2,1"},
        {"join", {1, 2, 3}, {"test"}, "1test2test3", "1,2,3"},
        {"join", {1, Value(), 3}, {}, "1,undefined,3", "1,undefined,3"},
    };
    for (const auto& c : cases) {
        ArrayProbe p;
        Value a = p.array(c.before);
        Value result = p.call(a, c.method, c.args);
        EXPECT_EQ(p.text(result), c.result) << c.method << " " << c.after;
        EXPECT_EQ(p.text(a), c.after) << c.method;
    }
}

TEST(ArrayBuiltinsTest, ConcatFlattensOneLevel) {
    ArrayProbe p;
    Value inner = p.array({7, 8});
    Value nested = p.array({inner});
    Value joined = p.call(p.array({1}), "concat", {inner, 4, nested});
    EXPECT_EQ(p.length(joined), 5);
    EXPECT_EQ(p.text(joined), "1,7,8,4,7,8");
    EXPECT_EQ(p.vm().getMember(joined, "3").object(), nullptr);
    EXPECT_EQ(p.vm().getMember(joined, "4").object(), inner.object());
}

TEST(ArrayBuiltinsTest, ConstructorForms) {
    ArrayProbe p;
    Value ctor = p.vm().getMember(p.vm().global(), "Array");
    const struct {
        std::vector<Value> args;
        double length;
        const char* text;
    } cases[] = {
        {{}, 0, ""},
        {{3}, 3, "undefined,undefined,undefined"},
        {{"3"}, 1, "3"},
        {{Value()}, 1, "undefined"},
        {{1, 2, true}, 3, "1,2,true"},
    };
    for (const auto& c : cases) {
        Value made = p.vm().construct(ctor, c.args);
        EXPECT_EQ(p.length(made), c.length);
        EXPECT_EQ(p.text(made), c.text);
    }
    // Called on an array as a function, it answers a new array and leaves this alone.
    Value a = p.array({"a"});
    Value args[] = {"b"};
    Value b = p.vm().call(ctor, a, args);
    EXPECT_EQ(p.text(a), "a");
    EXPECT_EQ(p.text(b), "b");
}

TEST(ArrayBuiltinsTest, SortFlags) {
    ArrayProbe p;
    const double numeric = p.vm().toNumber(p.flag("NUMERIC"));
    const double descending = p.vm().toNumber(p.flag("DESCENDING"));
    const double caseless = p.vm().toNumber(p.flag("CASEINSENSITIVE"));
    const double unique = p.vm().toNumber(p.flag("UNIQUESORT"));
    EXPECT_EQ(numeric, 16);
    EXPECT_EQ(descending, 2);
    EXPECT_EQ(caseless, 1);
    EXPECT_EQ(unique, 4);
    EXPECT_EQ(p.vm().toNumber(p.flag("RETURNINDEXEDARRAY")), 8);

    const std::vector<Value> words = {"ed", "emacs", "", "vi", "nano", "Jedit"};
    const std::vector<Value> numbers = {8, 1, -2, 5, -7, -9, 3, 0};
    const struct {
        const std::vector<Value>* elements;
        std::vector<Value> args;
        const char* sorted;
    } cases[] = {
        {&words, {}, ",Jedit,ed,emacs,nano,vi"},
        {&words, {caseless}, ",ed,emacs,Jedit,nano,vi"},
        {&words, {descending}, "vi,nano,emacs,ed,Jedit,"},
        {&numbers, {}, "-2,-7,-9,0,1,3,5,8"},
        {&numbers, {numeric}, "-9,-7,-2,0,1,3,5,8"},
        {&numbers, {descending}, "8,5,3,1,0,-9,-7,-2"},
        {&numbers, {numeric + descending}, "8,5,3,1,0,-2,-7,-9"},
        // Two numbers: the second gives the flags.
        {&numbers, {0, numeric}, "-9,-7,-2,0,1,3,5,8"},
    };
    for (const auto& c : cases) {
        Value a = p.array(*c.elements);
        Value result = p.call(a, "sort", c.args);
        EXPECT_EQ(result.object(), a.object());
        EXPECT_EQ(p.text(a), c.sorted);
    }
}

TEST(ArrayBuiltinsTest, UniqueSortAndIndexedArrayLeaveTheArray) {
    ArrayProbe p;
    Value a = p.array({"b", "a", "b"});
    EXPECT_EQ(p.call(a, "sort", {4}).number(), 0);
    EXPECT_EQ(p.text(a), "b,a,b");
    Value indices = p.call(a, "sort", {8});
    EXPECT_EQ(p.text(indices), "1,0,2");
    EXPECT_EQ(p.text(a), "b,a,b");
    // Undefined sorts as its string: after letters from SWF 7, first before.
    Value withUndefined = p.array({"b", Value(), "a"});
    p.call(withUndefined, "sort");
    EXPECT_EQ(p.text(withUndefined), "a,b,undefined");
    ArrayProbe old(6);
    Value older = old.array({"b", Value(), "a"});
    old.call(older, "sort");
    EXPECT_EQ(old.text(older), ",a,b");
}

int gCalls = 0;

Value byLength(Interpreter& vm, const Value&, std::span<const Value> args) {
    ++gCalls;
    const double a = vm.toNumber(vm.getMember(args[0], "length"));
    const double b = vm.toNumber(vm.getMember(args[1], "length"));
    return a < b ? -1 : (a > b ? 1 : 0);
}

Value popThenGreater(Interpreter& vm, const Value&, std::span<const Value>) {
    vm.callMethod(vm.getMember(vm.global(), "list"), "pop", {});
    return 1;
}

Value popThenLess(Interpreter& vm, const Value&, std::span<const Value>) {
    vm.callMethod(vm.getMember(vm.global(), "list"), "pop", {});
    return -1;
}

Value throwing(Interpreter& vm, const Value&, std::span<const Value>) {
    if (++gCalls == 3)
        vm.throwValue("stop");
    return -1;
}

TEST(ArrayBuiltinsTest, CompareFunctionsSeeThePlayersCalls) {
    ArrayProbe p;
    Value a = p.array({"But", "Different", "alphabet", "capitalization"});
    gCalls = 0;
    p.call(a, "sort", {p.vm().makeNative(byLength)});
    EXPECT_EQ(p.text(a), "But,alphabet,Different,capitalization");
    EXPECT_EQ(gCalls, 7);

    // A compare function that empties the array while sorting: what did not move is not
    // written back; what moved is.
    Value list = p.array({1, 2, 3, 4});
    p.vm().setMember(p.vm().global(), "list", list);
    p.call(list, "sort", {p.vm().makeNative(popThenLess)});
    EXPECT_EQ(p.length(list), 0);
    list = p.array({1, 2, 3, 4});
    p.vm().setMember(p.vm().global(), "list", list);
    p.call(list, "sort", {p.vm().makeNative(popThenGreater)});
    EXPECT_EQ(p.text(list), "2,3,4,1");
}

// The order for..in lists an object's properties in after a method rewrote its elements:
// the player deletes and makes again what it moves, newest first.
TEST(ArrayBuiltinsTest, MethodsOnObjectsLeaveThePlayersPropertyOrder) {
    const struct {
        const char* method;
        double length;
        std::vector<Value> args;
        const char* order;
    } cases[] = {
        {"shift", 6, {}, "4,3,2,1,0,shift,length,7,6,5,"},
        {"unshift", 6, {"x"}, "0,1,2,3,4,5,6,unshift,length,7,"},
        {"pop", 6, {}, "pop,length,7,6,4,3,2,1,"},
        {"reverse", 6, {}, "3,2,4,1,5,0,reverse,length,7,6,"},
        {"reverse", 5, {}, "3,1,4,0,reverse,length,7,6,5,2,"},
    };
    for (const auto& c : cases) {
        ArrayProbe p;
        Object* o = p.vm().makeObject();
        for (int i = 1; i <= 7; ++i)
            o->define(std::to_string(i), i, 0);
        o->define("length", c.length, 0);
        o->define(c.method, p.vm().getMember(p.vm().builtins().arrayProto, c.method), 0);
        p.call(o, c.method, c.args);
        std::string order;
        for (const SharedString& name : p.vm().enumerate(o))
            order += name.str() + ",";
        EXPECT_EQ(order, c.order) << c.method;
        EXPECT_EQ(p.length(o), c.length) << c.method; // only a real array's length follows
    }
}

// Answers -1, 0 or 1 from a fixed xorshift sequence, as the recorded movie's compare function
// does; the order it leaves depends on every comparison the sort makes.
int32_t gRandomState = 0;

Value randomOrder(Interpreter&, const Value&, std::span<const Value>) {
    uint32_t x = uint32_t(gRandomState);
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    gRandomState = int32_t(x);
    if (gRandomState % 8 == 0)
        return 0;
    return gRandomState > 0 ? 1 : -1;
}

TEST(ArrayBuiltinsTest, EqualAndContradictoryAnswersGiveThePlayersOrder) {
    ArrayProbe p;
    std::vector<Value> numbers;
    for (int i = 0; i < 50; ++i)
        numbers.emplace_back(i);
    Value a = p.array(numbers);
    gRandomState = 0x12345678;
    p.call(a, "sort", {p.vm().makeNative(randomOrder)});
    EXPECT_EQ(p.text(a), "26,7,13,40,17,9,4,18,28,10,6,35,12,8,49,0,2,22,21,23,25,34,41,24,44,"
                         "30,27,5,16,38,1,15,32,20,37,11,48,3,42,39,14,43,46,29,33,45,31,36,19,47");
}

TEST(ArrayBuiltinsTest, CompareFunctionWithFlags) {
    ArrayProbe p;
    auto lengths = [&](const Value& list) {
        std::string out;
        for (uint32_t i = 0; i < p.length(list); ++i)
            out += p.text(p.vm().getMember(p.vm().getMember(list, std::to_string(i)), "length"));
        return out;
    };
    Value byLengthFn = p.vm().makeNative(byLength);
    // UNIQUESORT does not stop a sort by a compare function that finds equal elements.
    Value a = p.array({"vi", "nano", "emacs", "ed", "Jedit", ""});
    p.call(a, "sort", {byLengthFn, 4});
    EXPECT_EQ(p.text(a), ",vi,ed,nano,emacs,Jedit");
    p.call(a, "sort", {byLengthFn, 2});
    EXPECT_EQ(lengths(a), "554220");
    p.call(a, "sort", {byLengthFn, 1 + 16}); // string flags do not apply
    EXPECT_EQ(lengths(a), "022455");
    EXPECT_EQ(p.text(p.call(a, "sort", {byLengthFn, 8})), "0,1,2,3,4,5");
    EXPECT_EQ(p.text(p.call(a, "sort", {byLengthFn, 8 + 2})), "5,4,3,2,1,0");
    Value b = p.array({"", "ED", "Jedit", "ed", "emacs", "nano", "vi"});
    Value r = p.call(b, "sort", {byLengthFn, 4 + 1});
    EXPECT_EQ(r.object(), b.object());
    EXPECT_EQ(lengths(b), "0222455");
}

TEST(ArrayBuiltinsTest, RewritingMethodsFillHoles) {
    ArrayProbe p;
    for (const char* method : {"reverse", "splice", "unshift"}) {
        auto* a = static_cast<ArrayObject*>(p.array({}).object());
        a->set(2, 2);
        a->set(7, 7);
        p.call(a, method, {3, 0});
        for (uint32_t i = 0; i < a->length(); ++i)
            EXPECT_TRUE(a->has(i)) << method << " " << i;
    }
}

TEST(ArrayBuiltinsTest, ThrowingCompareFunctionLeavesTheArray) {
    ArrayProbe p;
    Value a = p.array({5, 4, 3, 2, 1});
    gCalls = 0;
    EXPECT_THROW(p.call(a, "sort", {p.vm().makeNative(throwing)}), ScriptThrow);
    EXPECT_EQ(p.text(a), "5,4,3,2,1");
}

TEST(ArrayBuiltinsTest, SortOnFields) {
    ArrayProbe p;
    auto record = [&](Value name, Value year) {
        Object* o = p.vm().makeObject();
        o->define("name", name, 0);
        o->define("year", year, 0);
        return Value(o);
    };
    auto names = [&](const Value& list) {
        std::string out;
        for (uint32_t i = 0; i < p.length(list); ++i)
            out += p.text(p.vm().getMember(p.vm().getMember(list, std::to_string(i)), "name")) +
                   ";";
        return out;
    };
    Value a = p.array({record("b", 10), record("a", 9), record("c", 9)});
    p.call(a, "sortOn", {"name"});
    EXPECT_EQ(names(a), "a;b;c;");
    p.call(a, "sortOn", {"year", 16});
    EXPECT_EQ(names(a), "a;c;b;");
    p.call(a, "sortOn", {"year"}); // as strings: "10" before "9"
    EXPECT_EQ(names(a), "b;a;c;");
    p.call(a, "sortOn", {p.array({"year", "name"}), p.array({16, 2})});
    EXPECT_EQ(names(a), "c;a;b;");
    // Flags per field only when there is one for each field.
    p.call(a, "sortOn", {p.array({"year", "name"}), p.array({2})});
    EXPECT_EQ(names(a), "b;a;c;");
}

TEST(ArrayBuiltinsTest, MethodsWorkOnObjectsWithALength) {
    ArrayProbe p;
    Object* o = p.vm().makeObject();
    o->define("length", 2, 0);
    o->define("0", "x", 0);
    o->define("1", "y", 0);
    Value push = p.vm().getMember(p.vm().builtins().arrayProto, "push");
    Value args[] = {"z"};
    EXPECT_EQ(p.vm().call(push, o, args).number(), 3);
    EXPECT_EQ(p.length(o), 3);
    Value join = p.vm().getMember(p.vm().builtins().arrayProto, "join");
    EXPECT_EQ(p.text(p.vm().call(join, o, {})), "x,y,z");
    Value sort = p.vm().getMember(p.vm().builtins().arrayProto, "sort");
    Value descending[] = {2};
    p.vm().call(sort, o, descending);
    EXPECT_EQ(p.text(p.vm().call(join, o, {})), "z,y,x");
}

Value allEqual(Interpreter&, const Value&, std::span<const Value>) {
    ++gCalls;
    return 0;
}

// Equal elements make the player's quicksort quadratic; a large array of them must still
// sort in bounded work, and correctly.
TEST(ArrayBuiltinsTest, LargeDegenerateSortIsBounded) {
    ArrayProbe p;
    std::vector<Value> same(50000, Value(7));
    same.push_back(1);
    Value a = p.array(same);
    gCalls = 0;
    p.call(a, "sort", {p.vm().makeNative(allEqual)});
    EXPECT_LT(gCalls, 20'000'000); // the quicksort alone would make over a billion calls
    p.call(a, "sort", {16});
    EXPECT_EQ(p.vm().toNumber(p.vm().getMember(a, "0")), 1);
}

} // namespace
} // namespace swivio::swf::avm1
