// Number, Boolean, Math, Date, Error and the global functions, called as a script calls them.
// Expected values are Flash Player's where a movie recorded them (dates in a zone 5:45 east of
// Greenwich).
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/interpreter.h"
#include "swf/avm1/number_conversion.h"

namespace swivio::swf::avm1 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class QuietHost : public ScriptHost {
public:
    void traceLine(std::string_view) override {}
    void scriptError(std::string_view) override {}
};

// One interpreter of a movie version, with the calls a script would make.
struct Probe {
    explicit Probe(int version) : vm(host, version) {}
    Value global(const char* name) { return vm.getMember(vm.global(), name); }
    Value call(const char* object, const char* method, std::vector<Value> args) {
        return vm.callMethod(global(object), method, args);
    }
    Value callGlobal(const char* function, std::vector<Value> args) {
        return vm.call(global(function), Value(), args);
    }
    Value newObject(const char* ctor, std::vector<Value> args) {
        return vm.construct(global(ctor), args);
    }
    // What trace() prints for the value.
    std::string text(const Value& v) { return vm.toString(v); }
    QuietHost host;
    Interpreter vm;
};

std::string show(const Value& v) {
    if (v.isUndefined())
        return "undefined";
    if (v.isNumber())
        return numberToString(v.number());
    if (v.isBoolean())
        return v.boolean() ? "true" : "false";
    if (v.isString())
        return "\"" + v.string() + "\"";
    return "?";
}

// Objects whose valueOf logs its v, to see which arguments a function converts.
std::vector<double> valueOfLog;

Value loggingValueOf(Interpreter& vm, const Value& thisValue, std::span<const Value>) {
    Value v = vm.getMember(thisValue, "v");
    valueOfLog.push_back(v.number());
    return v;
}

Value noisy(Probe& p, double v) {
    Object* o = p.vm.makeObject();
    o->define("v", v, 0);
    p.vm.defineMethod(o, "valueOf", loggingValueOf);
    return o;
}

TEST(LanguageBuiltins, MathAnswersAsThePlayer) {
    const struct {
        int version;
        const char* name;
        std::vector<Value> args;
        double want;
    } cases[] = {
        {8, "round", {12.5}, 13},
        {8, "round", {-12.5}, -12},
        {8, "min", {}, kInf},
        {8, "max", {}, -kInf},
        {8, "min", {1.0}, kNaN}, // the missing second argument is NaN
        {5, "max", {1.0}, kNaN}, // in every version
        {8, "min", {3.0, 2.0, 1.0}, 2},
        {8, "max", {1.0, 2.0, 3.0}, 2}, // a third argument is not looked at
        {8, "min", {1.0, kNaN}, kNaN},
        {8, "min", {Value::null(), 2.0}, kNaN}, // null is NaN from SWF 7
        {6, "min", {Value::null(), 2.0}, 0},
        {8, "pow", {true}, 1}, // pow(1, NaN)
        {8, "pow", {false}, kNaN},
        {8, "atan2", {1.0}, kNaN},
        {8, "abs", {-3.0, "x"}, 3},
    };
    for (const auto& c : cases) {
        Probe p(c.version);
        Value got = p.call("Math", c.name, c.args);
        ASSERT_TRUE(got.isNumber()) << c.name;
        if (std::isnan(c.want))
            EXPECT_TRUE(std::isnan(got.number())) << c.name << " gave " << show(got);
        else
            EXPECT_EQ(got.number(), c.want) << c.name << " (SWF " << c.version << ")";
    }
}

TEST(LanguageBuiltins, MathConvertsItsFirstTwoArgumentsOnly) {
    for (const char* name : {"abs", "min", "random", "pow"}) {
        Probe p(8);
        valueOfLog.clear();
        p.call("Math", name, {noisy(p, 3), noisy(p, 2), noisy(p, 1)});
        EXPECT_EQ(valueOfLog, (std::vector<double>{3, 2})) << name;
    }
}

TEST(LanguageBuiltins, MathByNativeIndex) {
    Probe p(8);
    // ASnative(200, n) is the Math function of that index; an unknown one answers NaN.
    Value abs = p.callGlobal("ASnative", {200.0, 0.0});
    EXPECT_EQ(p.vm.call(abs, Value(), std::vector<Value>{-4.0}).number(), 4);
    Value pow = p.callGlobal("ASnative", {200.0, 17.0});
    EXPECT_EQ(p.vm.call(pow, Value(), std::vector<Value>{2.0, 3.0}).number(), 8);
    Value invalid = p.callGlobal("ASnative", {200.0, 50.0});
    EXPECT_TRUE(std::isnan(p.vm.call(invalid, Value(), std::vector<Value>{1.0}).number()));
}

TEST(LanguageBuiltins, GlobalFunctions) {
    const struct {
        int version;
        const char* function;
        std::vector<Value> args;
        const char* want; // show() of the result
    } cases[] = {
        {6, "isFinite", {}, "false"}, // a missing argument is NaN, not undefined's 0
        {6, "isNaN", {}, "true"},
        {6, "isNaN", {Value()}, "false"},
        {8, "isNaN", {Value()}, "true"},
        {8, "parseInt", {}, "undefined"},
        {8, "parseFloat", {}, "NaN"},
        {8, "escape", {"a b@\xC3\xA9"}, "\"a%20b%40%C3%A9\""},
        {5, "escape", {"\xC3\xA9"}, "\"%E9\""},
        {8, "unescape", {"%41+%3a"}, "\"A :\""},
        {8, "escape", {}, "undefined"},
        {8, "Number", {}, "0"},
        {8, "Boolean", {}, "undefined"},
        {8, "Boolean", {"0"}, "true"}, // any non-empty string from SWF 7
        {6, "Boolean", {"0"}, "false"},
    };
    for (const auto& c : cases) {
        Probe p(c.version);
        EXPECT_EQ(show(p.callGlobal(c.function, c.args)), c.want)
            << c.function << " (SWF " << c.version << ")";
    }
    Probe p(8);
    EXPECT_EQ(p.callGlobal("getVersion", {}).string().rfind("LNX 9,", 0), 0u);
    EXPECT_TRUE(std::isnan(p.global("NaN").number()));
    EXPECT_EQ(p.global("Infinity").number(), kInf);
}

TEST(LanguageBuiltins, NumberAndBooleanObjects) {
    Probe p(8);
    const struct {
        double value;
        Value radix;
        const char* want;
    } radixes[] = {
        {-11, 16.0, "-b"},
        {6, 0.0, "6"},
        {6, -2.0, "6"},
        {6, Value(), "6"},
    };
    for (const auto& c : radixes) {
        Value number = p.newObject("Number", {c.value});
        EXPECT_EQ(p.text(p.vm.callMethod(number, "toString", std::vector<Value>{c.radix})), c.want)
            << c.value;
    }
    Value number = p.newObject("Number", {"7"});
    EXPECT_EQ(p.vm.callMethod(number, "valueOf", {}).number(), 7);
    Value boolean = p.newObject("Boolean", {});
    EXPECT_EQ(p.text(boolean), "false");
    EXPECT_FALSE(p.vm.callMethod(boolean, "valueOf", {}).boolean());
    EXPECT_EQ(p.text(p.newObject("Boolean", {1.0})), "true");
}

// Dates: the zone is set for the whole test.
struct NepalTime {
    NepalTime() {
        setenv("TZ", "NPT-5:45", 1);
        tzset();
    }
};

constexpr double kJuly2020 = 1594844387653; // Thu Jul 16 02:04:47.653 2020 local

TEST(LanguageBuiltins, DateConstructorForms) {
    NepalTime zone;
    Probe p(8);
    const struct {
        std::vector<Value> args;
        const char* text;
        double time;
    } cases[] = {
        {{5.5}, "Thu Jan 1 05:45:00 GMT+0545 1970", 5.5},
        // Kept as given, beyond the range setters clip to.
        {{8.64e15 + 1}, "Sat Sep 13 05:45:00 GMT+0545 275760", 8.64e15 + 1},
        {{kNaN}, "Invalid Date", kNaN},
        {{"12"}, "Thu Jan 1 05:45:00 GMT+0545 1970", 12}, // a string is a number, not a date
        {{1.0, 2.0}, "Fri Mar 1 00:00:00 GMT+0545 1901", -2172375900000},
        {{0.0, 0.0, 0.0}, "Sun Dec 31 00:00:00 GMT+0545 1899", -2209095900000},
        {{7002.5, 13.5, 32.5, 24.5, 60.5, 60.5, 1000.5},
         "Sat Mar 5 01:01:01 GMT+0545 7003",
         158831522161000},
        {{0.0, kNaN}, "Invalid Date", kNaN},
        {{0.0, 0.0, kInf}, "Invalid Date", kInf},
    };
    for (const auto& c : cases) {
        Value date = p.newObject("Date", c.args);
        EXPECT_EQ(p.text(date), c.text);
        Value time = p.vm.callMethod(date, "getTime", {});
        if (std::isnan(c.time))
            continue;
        EXPECT_EQ(time.number(), c.time) << c.text;
    }
    // A copy of another date, through its valueOf.
    Value copy = p.newObject("Date", {p.newObject("Date", {kJuly2020})});
    EXPECT_EQ(p.vm.callMethod(copy, "getTime", {}).number(), kJuly2020);
    // super() from a subclass makes a plain object a date; a built-in object stays as it is.
    Value getTime = p.vm.getMember(p.vm.getMember(p.global("Date"), "prototype"), "getTime");
    Object* plain = p.vm.makeObject();
    p.vm.call(p.global("Date"), plain, std::vector<Value>{1000.0});
    EXPECT_EQ(p.vm.call(getTime, plain, {}).number(), 1000);
    EXPECT_TRUE(p.vm.enumerate(plain).empty());
    Value number = p.newObject("Number", {3.0});
    p.vm.call(p.global("Date"), number, std::vector<Value>{1000.0});
    EXPECT_TRUE(p.vm.call(getTime, number, {}).isUndefined());
    // Called as a function: the text of now.
    Value now = p.callGlobal("Date", {0.0});
    ASSERT_TRUE(now.isString());
    EXPECT_NE(now.string().find("GMT+0545"), std::string::npos);
}

TEST(LanguageBuiltins, DateGettersLocalAndUtc) {
    NepalTime zone;
    Probe p(8);
    Value date = p.newObject("Date", {kJuly2020});
    const struct {
        const char* getter;
        double want;
    } cases[] = {
        // clang-format off
        {"getFullYear", 2020}, {"getYear", 120}, {"getMonth", 6}, {"getDate", 16},
        {"getDay", 4}, {"getHours", 2}, {"getMilliseconds", 653}, {"getTimezoneOffset", -345},
        {"getUTCDate", 15}, {"getUTCDay", 3}, {"getUTCHours", 20}, {"valueOf", kJuly2020},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(p.vm.callMethod(date, c.getter, {}).number(), c.want) << c.getter;
    Value proto = p.vm.getMember(p.global("Date"), "prototype");
    EXPECT_EQ(p.vm.getMember(proto, "valueOf").object(), p.vm.getMember(proto, "getTime").object());
    Value invalid = p.newObject("Date", {kNaN});
    for (const char* getter : {"getFullYear", "getUTCHours", "getTimezoneOffset"})
        EXPECT_TRUE(std::isnan(p.vm.callMethod(invalid, getter, {}).number())) << getter;
}

TEST(LanguageBuiltins, DateSetters) {
    NepalTime zone;
    const struct {
        double start;
        const char* setter;
        std::vector<Value> args;
        double want;
    } cases[] = {
        {kJuly2020, "setFullYear", {2000.0}, 963692387653},
        {kJuly2020, "setFullYear", {0.0, kNaN}, kNaN},
        {kNaN, "setFullYear", {2000.0}, kNaN},           // an invalid date stays invalid
        {kJuly2020, "setYear", {0.0}, -2192067612347},   // 1900
        {kJuly2020, "setYear", {-1.0}, -62181834012347}, // the year -1
        {kJuly2020, "setYear", {123456789.0}, kNaN},     // past the range
        {kJuly2020, "setMonth", {kNaN}, 1579119587653},  // January
        {kJuly2020, "setMonth", {kInf}, kNaN},
        {kJuly2020, "setMonth", {13.5, 32.5}, 1614802787653},
        {kJuly2020, "setUTCMonth", {kNaN, 0.0}, 1577823587653},
        {kJuly2020, "setDate", {32.5}, 1596226787653},
        {kJuly2020, "setHours", {24.5, 60.5}, 1594926947653},
        {kJuly2020, "setHours", {}, kNaN},
        {kJuly2020, "setMinutes", {kNaN}, -127254174732347}, // NaN minutes are -2^31
        {kJuly2020, "setMinutes", {0.0, kInf}, -552639547347},
        {kJuly2020, "setSeconds", {0.0, kNaN}, kNaN},
        {8.64e15 + 1, "setMonth", {11.0}, kNaN},
        {-8.64e15, "setFullYear", {2000.0, 11.0, 31.0}, 978220800000},
        {8.64e15 + 1, "setFullYear", {2000.0, 11.0, 31.0}, 978220800001}, // unclipped base
        {kJuly2020, "setTime", {5.5}, 5},
        {kJuly2020, "setTime", {8.64e15 + 1}, kNaN},
    };
    for (const auto& c : cases) {
        Probe p(8);
        Value date = p.newObject("Date", {c.start});
        Value answer = p.vm.callMethod(date, c.setter, c.args);
        Value time = p.vm.callMethod(date, "getTime", {});
        if (std::isnan(c.want)) {
            EXPECT_TRUE(std::isnan(answer.number())) << c.setter << " gave " << show(answer);
            EXPECT_TRUE(std::isnan(time.number())) << c.setter;
        } else {
            EXPECT_EQ(answer.number(), c.want) << c.setter << " from " << c.start;
            EXPECT_EQ(time.number(), c.want) << c.setter;
        }
    }
}

TEST(LanguageBuiltins, DateUtc) {
    Probe p(8);
    const struct {
        std::vector<Value> args;
        double want;
    } cases[] = {
        {{1.0, 2.0}, -2172355200000},
        {{2000.0, 11.0, 31.0, 23.0, 59.0, 59.0, 999.0}, 978307199999},
        {{-1.0, -2.0, -3.0, -4.0, -5.0, -6.0, -7.0}, -2246155506007}, // years below 100 too
        {{0.0, kNaN}, kNaN},
        {{0.0, 0.0, kInf}, kInf},
        {{0.0, 0.0, 0.0, -kInf}, -kInf},
        {{0.0, kInf}, kNaN},
    };
    for (const auto& c : cases) {
        Value got = p.call("Date", "UTC", c.args);
        if (std::isnan(c.want))
            EXPECT_TRUE(std::isnan(got.number())) << show(got);
        else
            EXPECT_EQ(got.number(), c.want);
    }
    EXPECT_TRUE(p.call("Date", "UTC", {1.0}).isUndefined());
}

TEST(LanguageBuiltins, ErrorMessageNameAndSubclasses) {
    Probe p(8);
    Value plain = p.newObject("Error", {});
    EXPECT_EQ(p.text(plain), "Error");
    EXPECT_EQ(p.text(p.vm.getMember(plain, "name")), "Error");
    Value withMessage = p.newObject("Error", {7.8898});
    EXPECT_EQ(p.text(withMessage), "7.8898");
    // toString answers the message itself, an object too.
    Object* payload = p.vm.makeObject();
    Value withObject = p.newObject("Error", {Value(payload)});
    EXPECT_EQ(p.vm.callMethod(withObject, "toString", {}).object(), payload);
    // A script's subclass: a prototype below Error's, its constructor calling Error's.
    Object* subProto = p.vm.makeObject(p.vm.builtins().errorProto);
    subProto->define("name", "MyError", 0);
    Object* instance = p.vm.makeObject(subProto);
    p.vm.call(p.global("Error"), instance, std::vector<Value>{"boom"});
    EXPECT_EQ(p.text(instance), "boom");
    EXPECT_EQ(p.text(p.vm.getMember(instance, "name")), "MyError");
    EXPECT_TRUE(p.vm.instanceOf(instance, p.global("Error").object()));
    // Error() as a function makes nothing.
    EXPECT_TRUE(p.callGlobal("Error", {"x"}).isUndefined());
}

} // namespace
} // namespace swivio::swf::avm1
