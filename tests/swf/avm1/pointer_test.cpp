// The pointer as scripts see it: points converted between a clip and the stage, the mouse
// in a clip's own space, the members buttons and clips start with, names of shapes, and a
// press that takes the focus away.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/movie_runtime.h"
#include "swf/format/movie_definition.h"
#include "swf/player/timeline_player.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"

namespace swivio::swf::avm1 {
namespace {

std::vector<std::string>* g_log = nullptr;

Value logPress(Interpreter&, const Value&, std::span<const Value>) {
    g_log->push_back("press");
    return Value();
}

Value logRollOut(Interpreter&, const Value&, std::span<const Value>) {
    g_log->push_back("rollOut");
    return Value();
}

// A movie whose root holds "holder", a sprite with a square shape named "square" in it.
std::vector<uint8_t> namedShapeMovie() {
    testkit::SwfWriter writer;
    writer.version = 8;
    writer.tag(testkit::TagCode::DefineShape3,
               testkit::rectangleShape(1, 0, 0, 400, 400, 0, 0, 255));
    testkit::SpriteBuilder sprite;
    testkit::Place square;
    square.at(1).of(1);
    square.name = "square";
    sprite.place(square).showFrame();
    writer.tag(testkit::TagCode::DefineSprite, sprite.defineSprite(2));
    testkit::Place holder;
    holder.at(1).of(2);
    holder.name = "holder";
    testkit::place(writer, holder);
    writer.showFrame().end();
    return writer.build();
}

class PointerTest : public ::testing::Test {
protected:
    PointerTest() {
        auto movie = readMovieDefinition(namedShapeMovie());
        EXPECT_TRUE(movie.ok());
        runtime = std::make_unique<ScriptRuntime>(movie.value());
        player = std::make_unique<TimelinePlayer>(movie.value(), nullptr, runtime.get());
        runtime->attach(*player);
        runtime->runQueued();
        g_log = &log;
    }
    ~PointerTest() override { g_log = nullptr; }

    Interpreter& vm() { return runtime->interpreter(); }
    Value root() { return Value(runtime->rootClip()); }
    Value call(const Value& o, std::string_view method, std::vector<Value> args = {}) {
        return vm().callMethod(o, method, args);
    }
    Value get(const Value& o, std::string_view name) { return vm().getMember(o, name); }
    void set(const Value& o, std::string_view name, Value v) { vm().setMember(o, name, v); }
    std::string text(const Value& v) { return vm().toString(v); }

    // A clip at (x, y), scaled and turned, with a 100 x 100 square drawn at its origin.
    Value clip(const char* name, int depth, double x, double y, double scale, double rotation) {
        Value c = call(root(), "createEmptyMovieClip", {name, depth});
        call(c, "beginFill", {0xff0000});
        call(c, "moveTo", {0, 0});
        call(c, "lineTo", {100, 0});
        call(c, "lineTo", {100, 100});
        call(c, "lineTo", {0, 100});
        call(c, "endFill");
        set(c, "_x", x);
        set(c, "_y", y);
        set(c, "_xscale", scale);
        set(c, "_yscale", scale);
        set(c, "_rotation", rotation);
        return c;
    }

    // The point {x, y} after the method, as "x,y".
    std::string convert(const Value& c, const char* method, Value x, Value y) {
        Object* point = vm().makeObject();
        point->define("x", x, 0);
        point->define("y", y, 0);
        call(c, method, {Value(point)});
        return text(get(Value(point), "x")) + "," + text(get(Value(point), "y"));
    }

    void mouse(InputKind kind, double x, double y) {
        InputEvent e;
        e.kind = kind;
        e.x = x;
        e.y = y;
        runtime->handleInput(e);
    }

    std::vector<std::string> log;
    std::unique_ptr<ScriptRuntime> runtime;
    std::unique_ptr<TimelinePlayer> player;
};

TEST_F(PointerTest, PointsConvertToWholeTwipsAndOddPointsAreLeftAlone) {
    const Value turned = clip("turned", 5, 200, 200, 23.3, 25);
    const Value flat = clip("flat", 6, 10, 10, 0, 0);
    const Value half = clip("half", 7, 100, 100, 50, 0);
    struct Case {
        const char* name;
        Value clip;
        const char* method;
        Value x, y;
        const char* expected;
    } cases[] = {
        // 10 * 0.233 along a 25 degree turn: 2.1117.., 0.9847.. pixels, kept to 0.05.
        {"to the stage", turned, "localToGlobal", 10, 0, "202.1,201"},
        // 2200.6 twips, twice as far from the clip's corner, lands on a whole twip.
        {"into a clip", half, "globalToLocal", 110.03, 100, "20.05,0"},
        {"a string is no number", turned, "localToGlobal", 10, "10", "10,10"},
        {"undefined is no number", turned, "globalToLocal", 10, Value(), "10,undefined"},
        {"a flat clip has no inside", flat, "globalToLocal", 123, 234, "123,234"},
        {"a flat clip still maps out", flat, "localToGlobal", 123, 234, "10,10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(convert(c.clip, c.method, c.x, c.y), c.expected);
    }
    // A y found only on the prototype is not the point's own.
    Object* inherited = vm().makeObject();
    inherited->define("x", 5, 0);
    Object* proto = vm().makeObject();
    proto->define("y", 5, 0);
    inherited->setProto(Value(proto));
    call(turned, "localToGlobal", {Value(inherited)});
    EXPECT_EQ(text(get(Value(inherited), "x")), "5");
}

TEST_F(PointerTest, TheMouseInAClipsSpaceIsInWholeTwips) {
    const Value scaled = clip("scaled", 5, 364.3, 142.1, 42, 0);
    mouse(InputKind::MouseMove, 308, 340);
    // The clip stands at whole pixels (364, 142); the mapped point and the offset round
    // apart: 14666.67 - 17333.33 twips is -2666, 16190.48 - 6761.90 is 9428.
    EXPECT_EQ(text(get(scaled, "_xmouse")), "-133.3");
    EXPECT_EQ(text(get(scaled, "_ymouse")), "471.4");
}

TEST_F(PointerTest, ClipsAndButtonsStartWithAHandCursorEnabledAndButtonsHaveADepth) {
    const Value c = clip("c", 5, 0, 0, 100, 0);
    EXPECT_EQ(text(get(c, "useHandCursor")), "true");
    EXPECT_EQ(text(get(c, "enabled")), "true");
    const Value clipProto = get(get(Value(vm().global()), "MovieClip"), "prototype");
    EXPECT_EQ(text(call(clipProto, "isPropertyEnumerable", {"useHandCursor"})), "false");
    const Value buttonProto = get(get(Value(vm().global()), "Button"), "prototype");
    EXPECT_EQ(text(call(buttonProto, "isPropertyEnumerable", {"enabled"})), "true");
    EXPECT_EQ(get(buttonProto, "getDepth").object()->kind(), ObjectKind::Function);
}

TEST_F(PointerTest, ANamedShapeIsTheClipHoldingIt) {
    const Value holder = get(root(), "holder");
    EXPECT_EQ(text(holder), "_level0.holder");
    EXPECT_EQ(text(get(holder, "square")), "_level0.holder");
}

TEST_F(PointerTest, APressThatTakesTheFocusAwayRollsThePressedClipOut) {
    const Value target = clip("target", 5, 0, 0, 100, 0);
    set(target, "onPress", Value(vm().makeNative(logPress)));
    set(target, "onRollOut", Value(vm().makeNative(logRollOut)));
    Value fieldArgs[] = {"field", 6, 300, 300, 100, 20};
    const Value field = vm().callMethod(root(), "createTextField", fieldArgs);
    set(field, "type", "input");
    const Value selection = get(Value(vm().global()), "Selection");

    struct Case {
        const char* name;
        bool fieldFocused;
        std::vector<std::string> expected;
    } cases[] = {
        {"the focus stays where it is", false, {"press"}},
        {"the focus leaves the field", true, {"press", "rollOut"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        call(selection, "setFocus", {c.fieldFocused ? field : Value()});
        mouse(InputKind::MouseMove, 50, 50);
        log.clear();
        mouse(InputKind::MouseDown, 50, 50);
        EXPECT_EQ(log, c.expected);
        mouse(InputKind::MouseUp, 50, 50);
        mouse(InputKind::MouseMove, 250, 250);
    }
}

TEST_F(PointerTest, PressingInAFieldPlacesTheCaretAndDraggingSelects) {
    Value fieldArgs[] = {"field", 6, 100, 100, 300, 20};
    const Value field = vm().callMethod(root(), "createTextField", fieldArgs);
    set(field, "text", "hello world");
    const Value selection = get(Value(vm().global()), "Selection");
    const auto selected = [&] {
        return text(call(selection, "getBeginIndex")) + "-" +
               text(call(selection, "getEndIndex")) + " caret " +
               text(call(selection, "getCaretIndex"));
    };
    struct Case {
        const char* name;
        double pressX, dragX, dragY;
        const char* pressed;
        const char* dragged;
    } cases[] = {
        {"from the start to past the end", 101, 600, 110, "0-0 caret 0", "0-11 caret 11"},
        {"from past the end to above the field", 390, 50, 20, "11-11 caret 11", "0-11 caret 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mouse(InputKind::MouseMove, c.pressX, 110);
        mouse(InputKind::MouseDown, c.pressX, 110);
        EXPECT_EQ(selected(), c.pressed);
        mouse(InputKind::MouseMove, c.dragX, c.dragY);
        EXPECT_EQ(selected(), c.dragged);
        mouse(InputKind::MouseUp, c.dragX, c.dragY);
        // Once the button is up the pointer no longer moves the caret.
        mouse(InputKind::MouseMove, c.pressX, 110);
        EXPECT_EQ(selected(), c.dragged);
    }
}

} // namespace
} // namespace swivio::swf::avm1
