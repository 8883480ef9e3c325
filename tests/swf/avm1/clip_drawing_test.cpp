// The drawing methods, setMask, hitTest and dragging as scripts call them on clips.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/avm1/movie_runtime.h"
#include "swf/format/movie_definition.h"
#include "swf/player/timeline_player.h"
#include "tests/support/swf_writer.h"

namespace swivio::swf::avm1 {
namespace {

class ClipScriptTest : public ::testing::Test {
protected:
    ClipScriptTest() {
        testkit::SwfWriter writer;
        writer.version = 8;
        writer.showFrame().end();
        auto movie = readMovieDefinition(writer.build());
        EXPECT_TRUE(movie.ok());
        runtime = std::make_unique<ScriptRuntime>(movie.value());
        player = std::make_unique<TimelinePlayer>(movie.value(), nullptr, runtime.get());
        runtime->attach(*player);
    }

    Value call(const Value& object, std::string_view method, std::vector<Value> args = {}) {
        return runtime->interpreter().callMethod(object, method, args);
    }
    std::string text(const Value& v) { return runtime->interpreter().toString(v); }
    Value get(const Value& object, std::string_view name) {
        return runtime->interpreter().getMember(object, name);
    }
    Value clip(const std::string& name, int depth) {
        return call(runtime->rootClip(), "createEmptyMovieClip", {name, depth});
    }
    // Draws the square from (x0, y0) to (x1, y1), filled, with an optional stroke.
    void square(const Value& c, double x0, double y0, double x1, double y1) {
        call(c, "moveTo", {x0, y0});
        call(c, "lineTo", {x1, y0});
        call(c, "lineTo", {x1, y1});
        call(c, "lineTo", {x0, y1});
        call(c, "lineTo", {x0, y0});
    }
    std::string bounds(const Value& c, std::string_view method = "getBounds") {
        Value b = call(c, method);
        return text(get(b, "xMin")) + "," + text(get(b, "yMin")) + " " + text(get(b, "xMax")) +
               "," + text(get(b, "yMax"));
    }

    std::unique_ptr<ScriptRuntime> runtime;
    std::unique_ptr<TimelinePlayer> player;
};

TEST_F(ClipScriptTest, DrawnSquareHasBoundsAndShape) {
    Value a = clip("a", 1);
    call(a, "beginFill", {0xFF0000});
    square(a, 20, 20, 60, 60);
    call(a, "endFill");
    EXPECT_EQ(bounds(a), "20,20 60,60");
    EXPECT_EQ(text(get(a, "_width")), "40");
    // A second, thick, stroke-only path: its bounds reach the full width out.
    call(a, "lineStyle", {4, 0});
    call(a, "moveTo", {100, 100});
    call(a, "lineTo", {120, 100});
    EXPECT_EQ(bounds(a), "20,20 124,104");
    EXPECT_EQ(bounds(a, "getRect"), "20,20 120,100"); // without strokes
    // Lines off: the pen moves, nothing is drawn.
    call(a, "lineStyle");
    call(a, "lineTo", {300, 300});
    EXPECT_EQ(bounds(a), "20,20 124,104");

    struct Probe {
        double x, y;
        bool shape, expected;
    } probes[] = {
        {40, 40, true, true},   {40, 40, false, true},  {90, 80, false, true},
        {90, 80, true, false},  {110, 101, true, true}, {110, 107, true, false},
        {19, 40, false, false}, {61, 40, true, false},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(text(call(a, "hitTest", {p.x, p.y, p.shape})), p.expected ? "true" : "false")
            << p.x << "," << p.y << " shape " << p.shape;

    call(a, "clear");
    EXPECT_EQ(text(get(a, "_width")), "0");
    EXPECT_EQ(text(call(a, "hitTest", {40, 40, true})), "false");
}

TEST_F(ClipScriptTest, HitTestFollowsTheClipsMatrixAndHoles) {
    Value a = clip("a", 1);
    call(a, "beginFill", {0x00FF00});
    square(a, 0, 0, 100, 100);
    square(a, 25, 25, 75, 75); // even-odd: a hole
    call(a, "endFill");
    runtime->interpreter().setMember(a, "_x", 200);
    runtime->interpreter().setMember(a, "_xscale", 50);
    EXPECT_EQ(text(call(a, "hitTest", {210, 10, true})), "true");
    EXPECT_EQ(text(call(a, "hitTest", {225, 50, true})), "false"); // in the hole
    EXPECT_EQ(text(call(a, "hitTest", {225, 50, false})), "true"); // bounds still
    EXPECT_EQ(text(call(a, "hitTest", {260, 50, true})), "false"); // past the scaled width
}

TEST_F(ClipScriptTest, SetMaskAnswersAndLimitsHits) {
    Value masked = clip("masked", 1);
    Value mask = clip("mask", 2);
    call(masked, "beginFill", {0xFF0000});
    square(masked, 0, 0, 100, 100);
    call(mask, "beginFill", {0x0000FF});
    square(mask, 50, 50, 150, 150);

    EXPECT_TRUE(call(masked, "setMask").isUndefined());
    EXPECT_EQ(text(call(masked, "setMask", {"noSuchClip"})), "false");
    EXPECT_EQ(text(call(masked, "setMask", {"mask"})), "true");
    EXPECT_EQ(text(call(masked, "hitTest", {25, 25, true})), "false"); // outside the mask
    EXPECT_EQ(text(call(masked, "hitTest", {75, 75, true})), "true");
    EXPECT_EQ(text(call(mask, "hitTest", {75, 75, true})), "false"); // a mask is not hit
    EXPECT_EQ(text(call(masked, "setMask", {Value::null()})), "true");
    EXPECT_EQ(text(call(masked, "hitTest", {25, 25, true})), "true");
    EXPECT_EQ(text(call(mask, "hitTest", {125, 125, true})), "true");
}

TEST_F(ClipScriptTest, DragKeepsTheClipInItsRectangle) {
    // The pointer stays at the stage's corner: a locked clip goes as near it as it may.
    Value a = clip("a", 1);
    runtime->interpreter().setMember(a, "_x", 300);
    runtime->interpreter().setMember(a, "_y", 200);
    call(a, "startDrag", {false});
    runtime->tick();
    EXPECT_EQ(text(get(a, "_x")), "300");
    call(a, "startDrag", {true, 20, 30, 100, 100});
    EXPECT_EQ(text(get(a, "_x")), "20");
    EXPECT_EQ(text(get(a, "_y")), "30");
    call(a, "stopDrag");
    runtime->interpreter().setMember(a, "_x", 300);
    runtime->tick();
    EXPECT_EQ(text(get(a, "_x")), "300"); // no longer dragged
    EXPECT_EQ(text(get(a, "_droptarget")), "");
}

TEST_F(ClipScriptTest, DisplayPropertiesReadBackWhatWasSet) {
    Value a = clip("a", 1);
    Interpreter& vm = runtime->interpreter();
    EXPECT_EQ(text(get(a, "blendMode")), "normal");
    EXPECT_EQ(text(get(a, "opaqueBackground")), "undefined");
    EXPECT_EQ(text(get(a, "scrollRect")), "undefined");
    Value window = vm.makeObject();
    vm.setMember(window, "x", 1);
    vm.setMember(window, "y", 2);
    vm.setMember(window, "width", 30);
    vm.setMember(window, "height", 40);
    struct Case {
        const char* name;
        Value set;
        const char* read;
    } cases[] = {
        {"blendMode", Value("multiply"), "multiply"},
        {"blendMode", Value("bogus"), "multiply"}, // an unknown name changes nothing
        {"blendMode", Value(14.0), "hardlight"},
        {"opaqueBackground", Value(double(0x12345678)), "3430008"}, // 0x345678
        {"opaqueBackground", Value::null(), "undefined"},
        {"cacheAsBitmap", Value(true), "true"},
        {"scrollRect", window, "(x=1, y=2, w=30, h=40)"},
        {"scrollRect", Value(), "undefined"},
    };
    for (const Case& c : cases) {
        vm.setMember(a, c.name, c.set);
        EXPECT_EQ(text(get(a, c.name)), c.read) << c.name;
    }
}

} // namespace
} // namespace swivio::swf::avm1
