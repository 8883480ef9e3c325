// AsBroadcaster, flash.geom, Color and the stage built-ins, driven from C++ through the
// interpreter's own member access and calls, as a script's actions would drive them. Expected
// values are the player's recorded answers (the broadcaster, Point, Rectangle, Matrix,
// ColorTransform, Color and System movies).
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/swf_writer.h"
#include "swf/avm1/movie_runtime.h"
#include "swf/format/movie_definition.h"
#include "swf/player/timeline_player.h"

namespace swivio::swf::avm1 {
namespace {

// What the recording natives below saw: "name(this-tag,args...)".
std::vector<std::string> gCalls;

class NullHost : public ScriptHost {
public:
    void traceLine(std::string_view) override {}
    void scriptError(std::string_view) override {}
};

// Member access and calls shared by the fixtures.
struct Probe {
    Interpreter& vm;

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
    Value get(const Value& object, std::string_view name) { return vm.getMember(object, name); }
    std::string text(const Value& v) { return vm.toString(v); }
    double length(const Value& object) { return vm.toNumber(get(object, "length")); }
};

class InterpreterTest : public ::testing::Test {
protected:
    explicit InterpreterTest(int version = 8) : vm(host, version), p{vm} {}
    NullHost host;
    Interpreter vm;
    Probe p;
};

// ---- AsBroadcaster ----

Value recordCall(Interpreter& vm, const Value& self, std::span<const Value> args) {
    std::string line = vm.toString(vm.getMember(self, "tag")) + "(";
    for (std::size_t i = 0; i < args.size(); ++i)
        line += (i ? "," : "") + vm.toString(args[i]);
    gCalls.push_back(line + ")");
    return Value();
}

// Takes the listener with tag "b" off the broadcaster stored in its own "source" member.
Value removeOther(Interpreter& vm, const Value& self, std::span<const Value> args) {
    recordCall(vm, self, args);
    Value other[] = {vm.getMember(self, "other")};
    vm.callMethod(vm.getMember(self, "source"), "removeListener", other);
    return Value();
}

class BroadcasterTest : public InterpreterTest {
protected:
    Value broadcaster() {
        Value b = vm.makeObject();
        p.call(p.global("AsBroadcaster"), "initialize", {b});
        return b;
    }
    Value listener(const char* tag, NativeFunction onEvent = recordCall) {
        Object* l = vm.makeObject();
        l->define("tag", tag, 0);
        vm.defineMethod(l, "onEvent", onEvent, 0);
        return l;
    }
};

TEST_F(BroadcasterTest, ListenerIsKeptOnceAndRemovedByLooseEquality) {
    Value b = broadcaster();
    Value l = listener("a");
    EXPECT_TRUE(p.call(b, "addListener", {l}).boolean());
    EXPECT_TRUE(p.call(b, "addListener", {l}).boolean());
    EXPECT_EQ(p.length(p.get(b, "_listeners")), 1);
    p.call(b, "addListener", {Value::null()});
    EXPECT_TRUE(p.call(b, "removeListener", {Value()}).boolean()); // null == undefined
    EXPECT_TRUE(p.call(b, "removeListener", {l}).boolean());
    EXPECT_FALSE(p.call(b, "removeListener", {l}).boolean());
    EXPECT_EQ(p.length(p.get(b, "_listeners")), 0);
}

TEST_F(BroadcasterTest, RemoveTakesTheFirstOfTwinListeners) {
    Value b = broadcaster();
    Value a = listener("a"), c = listener("c");
    Value list = p.get(b, "_listeners");
    for (const Value& l : {a, c, a})
        p.call(list, "push", {l});
    p.call(b, "removeListener", {a});
    EXPECT_EQ(p.text(p.get(p.get(list, "0"), "tag")), "c");
    EXPECT_EQ(p.text(p.get(p.get(list, "1"), "tag")), "a");
}

TEST_F(BroadcasterTest, BroadcastCallsEachListenerWithTheArgumentsInOrder) {
    Value b = broadcaster();
    Value a = listener("a"), c = listener("c");
    p.call(b, "addListener", {a});
    p.call(b, "addListener", {c});
    p.call(b, "addListener", {a}); // moves a to the end
    gCalls.clear();
    EXPECT_TRUE(p.call(b, "broadcastMessage", {"onEvent", 1, "x"}).boolean());
    EXPECT_EQ(gCalls, (std::vector<std::string>{"c(1,x)", "a(1,x)"}));
}

TEST_F(BroadcasterTest, BroadcastAnswersUndefinedWithoutNameOrListeners) {
    Value b = broadcaster();
    EXPECT_TRUE(p.call(b, "broadcastMessage", {"onEvent"}).isUndefined());
    p.call(b, "addListener", {listener("a")});
    EXPECT_TRUE(p.call(b, "broadcastMessage").isUndefined());
    EXPECT_TRUE(p.call(b, "broadcastMessage", {"nobodyHasThis"}).boolean());
}

TEST_F(BroadcasterTest, ListenerRemovedDuringBroadcastStillHearsThisRound) {
    Value b = broadcaster();
    Value a = listener("a", removeOther), c = listener("b");
    vm.setMember(a, "source", b);
    vm.setMember(a, "other", c);
    p.call(b, "addListener", {a});
    p.call(b, "addListener", {c});
    gCalls.clear();
    p.call(b, "broadcastMessage", {"onEvent"});
    EXPECT_EQ(gCalls, (std::vector<std::string>{"a()", "b()"}));
    EXPECT_EQ(p.length(p.get(b, "_listeners")), 1);
}

TEST_F(BroadcasterTest, HugeLengthOfAForeignListWorksThroughABoundedPart) {
    Value b = broadcaster();
    Object* list = vm.makeObject();
    list->define("length", 1e9, 0);
    list->define("0", listener("a"), 0);
    vm.setMember(b, "_listeners", list);
    gCalls.clear();
    EXPECT_TRUE(p.call(b, "broadcastMessage", {"onEvent"}).boolean());
    EXPECT_EQ(gCalls, (std::vector<std::string>{"a()"}));
    EXPECT_FALSE(p.call(b, "removeListener", {5}).boolean());
}

TEST_F(BroadcasterTest, InitializeHidesItsMembers) {
    Value b = broadcaster();
    EXPECT_TRUE(vm.enumerate(b.object()).empty());
}

// ---- flash.geom ----

class GeomTest : public ::testing::Test {
protected:
    NullHost host;
    Interpreter vm{host, 8};
    Probe probe{vm};
};

using Build = std::function<Value(Probe&)>;
struct GeomCase {
    const char* what;
    Build build;
    const char* expected; // the value's string form
};

void checkCases(Probe& p, const std::vector<GeomCase>& cases) {
    for (const GeomCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(p.text(c.build(p)), c.expected);
    }
}

Value point(Probe& p, Value x, Value y) {
    return p.make("Point", {x, y});
}

TEST_F(GeomTest, PointFollowsTheRecordedAnswers) {
    checkCases(
        probe,
        {
            {"default", [](Probe& p) { return p.make("Point"); }, "(x=0, y=0)"},
            {"one argument", [](Probe& p) { return p.make("Point", {1}); }, "(x=1, y=undefined)"},
            {"add joins strings",
             [](Probe& p) { return p.call(point(p, "x", "y"), "add", {point(p, "x1", "y1")}); },
             "(x=xx1, y=yy1)"},
            {"add of numbers",
             [](Probe& p) { return p.call(point(p, 2, 3), "add", {point(p, 1, 1)}); },
             "(x=3, y=4)"},
            {"subtract is numeric",
             [](Probe& p) { return p.call(point(p, "x", "y"), "subtract", {point(p, 1, 1)}); },
             "(x=NaN, y=NaN)"},
            {"length", [](Probe& p) { return p.get(point(p, 3, 4), "length"); }, "5"},
            {"interpolate adds to the second point's fields",
             [](Probe& p) {
                 return p.call(p.geomClass("Point"), "interpolate",
                               {point(p, "0", "0"), point(p, "10", "0"), 3});
             },
             "(x=10-30, y=00)"},
            {"interpolate halfway",
             [](Probe& p) {
                 return p.call(p.geomClass("Point"), "interpolate",
                               {point(p, 0, 0), point(p, 10, 0), 0.5});
             },
             "(x=5, y=0)"},
            {"polar",
             [](Probe& p) {
                 return p.call(p.geomClass("Point"), "polar", {5, 0});
             },
             "(x=5, y=0)"},
            {"distance needs a Point first",
             [](Probe& p) {
                 return p.call(p.geomClass("Point"), "distance",
                               {p.vm.makeObject(), point(p, 1, 1)});
             },
             "undefined"},
            {"distance",
             [](Probe& p) {
                 return p.call(p.geomClass("Point"), "distance", {point(p, 1, 1), point(p, 10, 1)});
             },
             "9"},
            {"normalize scales to the length given",
             [](Probe& p) {
                 Value q = point(p, 3, -4);
                 p.call(q, "normalize", {-10});
                 return q;
             },
             "(x=-6, y=8)"},
            {"normalize leaves a point of no length",
             [](Probe& p) {
                 Value q = point(p, "x", "y");
                 p.call(q, "normalize", {5});
                 return q;
             },
             "(x=x, y=y)"},
            {"offset joins strings",
             [](Probe& p) {
                 Value q = point(p, 4, 5);
                 p.call(q, "offset", {"-6", -8});
                 return q;
             },
             "(x=4-6, y=-3)"},
            {"equals needs a Point",
             [](Probe& p) {
                 Object* plain = p.vm.makeObject();
                 plain->define("x", 1, 0);
                 plain->define("y", 2, 0);
                 return p.call(point(p, 1, 2), "equals", {plain});
             },
             "false"},
        });
}

Value rect(Probe& p, Value x, Value y, Value w, Value h) {
    return p.make("Rectangle", {x, y, w, h});
}

TEST_F(GeomTest, RectangleFollowsTheRecordedAnswers) {
    checkCases(
        probe,
        {
            {"default", [](Probe& p) { return p.make("Rectangle"); }, "(x=0, y=0, w=0, h=0)"},
            {"right joins strings",
             [](Probe& p) { return p.get(rect(p, "x", "y", "w", "h"), "right"); }, "xw"},
            {"left keeps the right edge",
             [](Probe& p) {
                 Value r = rect(p, 10, 10, 20, 20);
                 p.vm.setMember(r, "left", 15);
                 return p.get(r, "width");
             },
             "15"},
            {"left on strings",
             [](Probe& p) {
                 Value r = rect(p, "x", "y", "w", "h");
                 p.vm.setMember(r, "left", 10);
                 return p.get(r, "width");
             },
             "wNaN"},
            {"bottomRight", [](Probe& p) { return p.get(rect(p, 1, 2, 3, 4), "bottomRight"); },
             "(x=4, y=6)"},
            {"contains excludes the far edge",
             [](Probe& p) {
                 return p.call(rect(p, 0, 0, 10, 10), "contains", {10, 5});
             },
             "false"},
            {"contains the near edge",
             [](Probe& p) {
                 return p.call(rect(p, 0, 0, 10, 10), "contains", {0, 5});
             },
             "true"},
            {"contains with NaN",
             [](Probe& p) {
                 return p.call(rect(p, 0, 0, 10, 10), "contains", {0, Value()});
             },
             "undefined"},
            {"contains compares joined strings",
             [](Probe& p) {
                 return p.call(rect(p, 2, 2, "0", "0"), "contains", {"3", "3"});
             },
             "false"},
            {"isEmpty of a string size",
             [](Probe& p) { return p.call(rect(p, 1, 1, 1, "string"), "isEmpty"); }, "true"},
            {"intersection",
             [](Probe& p) {
                 return p.call(rect(p, 0, 0, 10, 10), "intersection", {rect(p, 5, 5, 10, 10)});
             },
             "(x=5, y=5, w=5, h=5)"},
            {"no intersection",
             [](Probe& p) {
                 return p.call(rect(p, 0, 0, 1, 1), "intersection", {rect(p, 5, 5, 1, 1)});
             },
             "(x=0, y=0, w=0, h=0)"},
            {"union",
             [](Probe& p) { return p.call(rect(p, 0, 0, 1, 1), "union", {rect(p, 5, 5, 1, 1)}); },
             "(x=0, y=0, w=6, h=6)"},
            {"inflate",
             [](Probe& p) {
                 Value r = rect(p, 0, 0, 10, 10);
                 p.call(r, "inflate", {1, 2});
                 return r;
             },
             "(x=-1, y=-2, w=12, h=14)"},
        });
}

Value matrix(Probe& p, std::vector<Value> args) {
    return p.make("Matrix", std::move(args));
}

Value afterCall(Probe& p, Value m, std::string_view method, std::vector<Value> args) {
    p.call(m, method, std::move(args));
    return m;
}

Value fakeMatrix(Probe& p, std::string_view method) {
    Object* fake = p.vm.makeObject();
    const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
    for (const char* name : names)
        fake->define(name, 1, 0);
    fake->define(method, p.get(p.get(p.geomClass("Matrix"), "prototype"), method), 0);
    fake->define("toString", p.get(p.get(p.geomClass("Matrix"), "prototype"), "toString"), 0);
    return fake;
}

TEST_F(GeomTest, MatrixFollowsTheRecordedAnswers) {
    checkCases(
        probe,
        {
            {"default", [](Probe& p) { return p.make("Matrix"); },
             "(a=1, b=0, c=0, d=1, tx=0, ty=0)"},
            {"fields as given", [](Probe& p) { return matrix(p, {8}); },
             "(a=8, b=undefined, c=undefined, d=undefined, tx=undefined, ty=undefined)"},
            {"scale",
             [](Probe& p) {
                 return afterCall(p, matrix(p, {1, 2, 3, 4, 5, 6}), "scale", {32, -3.4});
             },
             "(a=32, b=-6.8, c=96, d=-13.6, tx=160, ty=-20.4)"},
            {"concat applies the argument second",
             [](Probe& p) {
                 return afterCall(p, matrix(p, {6, 0, 0, 8, 300, 400}), "concat",
                                  {matrix(p, {32, -6.8, 96, -13.6, 160, -20.4})});
             },
             "(a=192, b=-40.8, c=768, d=-108.8, tx=48160, ty=-7500.4)"},
            {"invert",
             [](Probe& p) {
                 return afterCall(p, matrix(p, {4, 5, 0, 5, 2, 3}), "invert", {});
             },
             "(a=0.25, b=-0.25, c=0, d=0.2, tx=-0.5, ty=-0.1)"},
            {"singular invert gives the identity",
             [](Probe& p) {
                 return afterCall(p, matrix(p, {4, 5, 44, 55, 2, 4}), "invert", {});
             },
             "(a=1, b=0, c=0, d=1, tx=0, ty=0)"},
            {"rotate of non-numbers",
             [](Probe& p) {
                 Value fields =
                     matrix(p, {"A string", Value(), p.vm.makeObject(), true, NAN, point(p, 0, 0)});
                 return afterCall(p, fields, "rotate", {2});
             },
             "(a=NaN, b=NaN, c=NaN, d=NaN, tx=NaN, ty=NaN)"},
            {"rotate leaves a plain object",
             [](Probe& p) { return afterCall(p, fakeMatrix(p, "rotate"), "rotate", {2}); },
             "(a=1, b=1, c=1, d=1, tx=1, ty=1)"},
            {"translate takes a plain object",
             [](Probe& p) {
                 return afterCall(p, fakeMatrix(p, "translate"), "translate", {2, 3});
             },
             "(a=1, b=1, c=1, d=1, tx=3, ty=4)"},
            {"createBox keeps its translation as given",
             [](Probe& p) {
                 return afterCall(p, p.make("Matrix"), "createBox", {4, 3, 0, "a string"});
             },
             "(a=4, b=0, c=0, d=3, tx=a string, ty=0)"},
            {"createGradientBox adds half the size",
             [](Probe& p) {
                 return afterCall(p, p.make("Matrix"), "createGradientBox",
                                  {40, 49, 0, "string", 1});
             },
             "(a=0.0244140625, b=0, c=0, d=0.0299072265625, tx=string20, ty=25.5)"},
            {"transformPoint",
             [](Probe& p) {
                 return p.call(matrix(p, {2, 0, 0, 3, 10, 20}), "transformPoint", {point(p, 1, 1)});
             },
             "(x=12, y=23)"},
            {"deltaTransformPoint",
             [](Probe& p) {
                 return p.call(matrix(p, {2, 0, 0, 3, 10, 20}), "deltaTransformPoint",
                               {point(p, 1, 1)});
             },
             "(x=2, y=3)"},
        });
}

TEST_F(GeomTest, ColorTransformFollowsTheRecordedAnswers) {
    checkCases(
        probe,
        {
            {"default", [](Probe& p) { return p.make("ColorTransform"); },
             "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, "
             "redOffset=0, greenOffset=0, blueOffset=0, alphaOffset=0)"},
            {"concat scales the argument's offsets by this multipliers",
             [](Probe& p) {
                 Value ct = p.make("ColorTransform",
                                   {1000, 1000, 1000, 1000, 1000.1, 1000.1, 1000.1, 1000.1});
                 p.call(ct, "concat",
                        {p.make("ColorTransform", {0.25, 0.25, 0.25, 0.25, 35, 50, 65, 80})});
                 return ct;
             },
             "(redMultiplier=250, greenMultiplier=250, blueMultiplier=250, alphaMultiplier=250, "
             "redOffset=36000.1, greenOffset=51000.1, blueOffset=66000.1, alphaOffset=81000.1)"},
            {"rgb reads the offsets",
             [](Probe& p) {
                 return p.get(p.make("ColorTransform", {1, 1, 1, 1, 255, 25, 0, 0}), "rgb");
             },
             "16718080"},
            {"setting rgb flattens the colour",
             [](Probe& p) {
                 Value ct = p.make("ColorTransform");
                 p.vm.setMember(ct, "rgb", 0x102030);
                 return ct;
             },
             "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=1, "
             "redOffset=16, greenOffset=32, blueOffset=48, alphaOffset=0)"},
        });
}

struct VersionCase {
    int version;
    bool visible;
};

class FlashPackageTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(FlashPackageTest, PackageIsHiddenBeforeVersion8UntilItsFlagsAreCleared) {
    NullHost host;
    Interpreter vm(host, GetParam().version);
    EXPECT_EQ(vm.getMember(vm.global(), "flash").isObject(), GetParam().visible);
    Value clearArgs[] = {vm.global(), "flash", 0, 5248};
    vm.callMethod(vm.global(), "ASSetPropFlags", clearArgs);
    EXPECT_TRUE(vm.getMember(vm.global(), "flash").isObject());
}

INSTANTIATE_TEST_SUITE_P(Versions, FlashPackageTest,
                         ::testing::Values(VersionCase{6, false}, VersionCase{7, false},
                                           VersionCase{8, true}));

// ---- Built-ins that need a movie ----

class MovieTest : public ::testing::Test {
protected:
    MovieTest() {
        testkit::SwfWriter writer;
        writer.version = 8;
        writer.xMax = 11000; // 550 x 400 pixels
        writer.yMax = 8000;
        writer.showFrame().end();
        auto movie = readMovieDefinition(writer.build());
        EXPECT_TRUE(movie.ok());
        runtime = std::make_unique<ScriptRuntime>(movie.value());
        player = std::make_unique<TimelinePlayer>(movie.value(), nullptr, runtime.get());
        runtime->attach(*player);
    }
    Interpreter& vm() { return runtime->interpreter(); }
    Probe probe() { return {vm()}; }

    std::unique_ptr<ScriptRuntime> runtime;
    std::unique_ptr<TimelinePlayer> player;
};

TEST_F(MovieTest, StageAndMachineAnswerAsADesktopPlayer) {
    Probe p = probe();
    Value stage = p.global("Stage");
    Value capabilities = p.get(p.global("System"), "capabilities");
    const std::string version = p.text(p.get(capabilities, "version"));
    const std::pair<Value, const char*> cases[] = {
        {p.get(stage, "width"), "550"},
        {p.get(stage, "height"), "400"},
        {p.get(stage, "scaleMode"), "showAll"},
        {p.get(stage, "align"), ""},
        {p.get(capabilities, "os"), "Linux"},
        {p.get(capabilities, "playerType"), "StandAlone"},
        {p.get(capabilities, "language"), "en"},
        {p.get(runtime->rootClip(), "$version"), version.c_str()},
        {p.call(vm().global(), "getVersion"), version.c_str()},
        {p.get(p.global("Key"), "DELETEKEY"), "46"},
        {p.call(p.global("Key"), "isDown", {65}), "false"},
        {p.call(p.global("Selection"), "getFocus"), "null"},
        {p.call(p.global("Selection"), "getBeginIndex"), "-1"},
        {p.call(p.get(p.global("System"), "security"), "allowDomain"), "false"},
        {p.call(p.get(p.global("System"), "security"), "allowDomain", {"x"}), "true"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(p.text(value), expected);
    EXPECT_TRUE(version.starts_with("LNX 9,"));
}

TEST_F(MovieTest, StageSettingsTakeOnlyKnownValues) {
    Probe p = probe();
    Value stage = p.global("Stage");
    vm().setMember(stage, "scaleMode", "NOSCALE");
    EXPECT_EQ(p.text(p.get(stage, "scaleMode")), "noScale");
    vm().setMember(stage, "scaleMode", "stretch");
    EXPECT_EQ(p.text(p.get(stage, "scaleMode")), "noScale");
    vm().setMember(stage, "align", "br");
    EXPECT_EQ(p.text(p.get(stage, "align")), "RB");
    vm().setMember(stage, "width", 10);
    EXPECT_EQ(p.text(p.get(stage, "width")), "550");
}

TEST_F(MovieTest, MouseAnswersWhetherThePointerWasVisible) {
    Probe p = probe();
    Value mouse = p.global("Mouse");
    EXPECT_EQ(p.text(p.call(mouse, "hide")), "1");
    EXPECT_EQ(p.text(p.call(mouse, "hide")), "0");
    EXPECT_EQ(p.text(p.call(mouse, "show")), "0");
}

TEST_F(MovieTest, SharedObjectIsKeptForTheRunByNameAndPath) {
    Probe p = probe();
    Value shared = p.global("SharedObject");
    Value first = p.call(shared, "getLocal", {"save"});
    vm().setMember(p.get(first, "data"), "score", 10);
    EXPECT_TRUE(p.call(first, "flush").boolean());
    Value again = p.call(shared, "getLocal", {"save"});
    EXPECT_EQ(p.text(p.get(p.get(again, "data"), "score")), "10");
    EXPECT_TRUE(p.get(p.get(p.call(shared, "getLocal", {"save", "/other"}), "data"), "score")
                    .isUndefined());
    p.call(again, "clear");
    EXPECT_TRUE(p.get(p.get(first, "data"), "score").isUndefined());
    for (const char* bad : {"", "a b", "a:b", "x?"})
        EXPECT_TRUE(p.call(shared, "getLocal", {bad}).isNull()) << bad;
}

TEST_F(MovieTest, ColorChangesTheClipsColourTransform) {
    Probe p = probe();
    ClipObject* root = runtime->rootClip();
    ASSERT_NE(root, nullptr);
    Value color = vm().construct(p.global("Color"), std::vector<Value>{root});
    p.call(color, "setRGB", {0x336699});
    EXPECT_EQ(p.text(p.call(color, "getRGB")), std::to_string(0x336699));
    const ColorTransform& ct = root->display()->colorTransform;
    EXPECT_EQ(ct.mr, 0);
    EXPECT_EQ(ct.ab, 0x99);
    EXPECT_TRUE(root->display()->transformedByScript);

    Object* transform = vm().makeObject();
    transform->define("ra", 33, 0); // 8.8 fixed point: 84/256
    transform->define("ab", -20, 0);
    p.call(color, "setTransform", {transform});
    Value back = p.call(color, "getTransform");
    EXPECT_EQ(p.text(p.get(back, "ra")), "32.8125");
    EXPECT_EQ(p.text(p.get(back, "ab")), "-20");
    EXPECT_EQ(p.text(p.get(back, "bb")), "153"); // untouched
    Value lost = vm().construct(p.global("Color"), std::vector<Value>{"noSuchClip"});
    EXPECT_TRUE(p.call(lost, "getRGB").isUndefined());
}

TEST_F(MovieTest, TransformStoresWhatTheClipCanHold) {
    Probe p = probe();
    Value transform = p.make("Transform", {runtime->rootClip()});
    EXPECT_EQ(p.text(p.get(transform, "matrix")), "(a=1, b=0, c=0, d=1, tx=0, ty=0)");
    vm().setMember(transform, "matrix", p.make("Matrix", {2, 0, 0, 2, 10, 11}));
    EXPECT_EQ(p.text(p.get(transform, "matrix")), "(a=2, b=0, c=0, d=2, tx=10, ty=11)");
    vm().setMember(transform, "colorTransform",
                   p.make("ColorTransform", {5e-67, 2342341, 11234112, -287394874978.0, 1222222,
                                             2342343434.0, 255, 4e5}));
    EXPECT_EQ(p.text(p.get(transform, "colorTransform")),
              "(redMultiplier=0, greenMultiplier=-128, blueMultiplier=-128, alphaMultiplier=-128, "
              "redOffset=-32768, greenOffset=-32768, blueOffset=255, alphaOffset=-32768)");
}

} // namespace
} // namespace swivio::swf::avm1
