// Bitmaps that scripts make, shown with attachBitmap and painted into with draw, in a
// playing movie.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "swf/avm1/movie_runtime.h"
#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"

namespace swivio::swf {
namespace {

using testkit::ActionAssembler;
using Op = testkit::ActionCode;
using namespace swivio::testkit;

// new flash.<package>.<name>(args...), arguments pushed by the caller last to first.
ActionAssembler& construct(ActionAssembler& a, int argCount, const char* package,
                           const char* name) {
    return a.push(argCount)
        .push("flash")
        .op(Op::GetVariable)
        .push(package)
        .op(Op::GetMember)
        .push(name)
        .op(Op::NewMethod);
}

// variable.method(args...) with its answer traced or dropped; arguments pushed last to first.
ActionAssembler& call(ActionAssembler& a, int argCount, const char* variable, const char* method,
                      bool traceIt) {
    a.push(argCount).push(variable).op(Op::GetVariable).push(method).op(Op::CallMethod);
    return traceIt ? a.trace() : a.op(Op::Pop);
}

struct Played {
    std::vector<std::string> lines;
    Frame frame;
};

// A 40 x 20 pixel movie of version 8 with a dark background that runs the script on its
// first frame, after placing a clip "mc" holding a red square of 5 pixels at (0, 0); it
// exports a blue bitmap of 8 x 8 pixels as "pic".
Played play(const ActionAssembler& script) {
    SwfWriter w;
    w.version = 8;
    w.xMax = 40 * 20;
    w.yMax = 20 * 20;
    w.backgroundColor(10, 20, 30);
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
    // An 8 x 8 blue bitmap exported as "pic".
    std::vector<uint8_t> raw;
    for (int i = 0; i < 8 * 8; ++i)
        raw.insert(raw.end(), {255, 0, 0, 255}); // pad, red, green, blue
    SwfBits bitmap;
    bitmap.u16(3).bytes(losslessBody(5, 8, 8, raw));
    w.tag(TagCode::DefineBitsLossless, bitmap.data());
    w.tag(TagCode::ExportAssets, exportAssets({{3, "pic"}}));
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1)).showFrame();
    w.tag(TagCode::DefineSprite, sprite.defineSprite(2));
    // The clip's own place is not what draw paints.
    Place clip = Place().at(1).of(2).translate(600, 0);
    clip.name = "mc";
    place(w, clip);
    w.tag(TagCode::DoAction, script.build());
    w.showFrame().end();
    Played out;
    auto movie = Movie::load(w.build());
    EXPECT_TRUE(movie.ok()) << movie.message();
    if (!movie)
        return out;
    MoviePlayer player(*movie, PlayerOptions{}, [&](avm1::ScriptRuntime& scripts) {
        scripts.setTraceSink([&](std::string_view line) { out.lines.emplace_back(line); });
    });
    out.frame = Frame(40, 20);
    player.render(out.frame, player.viewport(40, 20));
    return out;
}

TEST(BitmapDisplay, AttachedBitmapShowsItsPixelsAsTheyAreWhenDrawn) {
    ActionAssembler a;
    // b = new BitmapData(10, 10, false, 0xFF0000FF); _root.attachBitmap(b, 5)
    a.push("b").push(4278190335.0).push(false).push(10).push(10);
    construct(a, 4, "display", "BitmapData").op(Op::SetVariable);
    a.push(5).push("b").op(Op::GetVariable);
    a.push(2).push("_root").op(Op::GetVariable).push("attachBitmap").op(Op::CallMethod).op(Op::Pop);
    // Changed after attaching: the picture follows.
    a.push(4278255360.0).push(9).push(9);
    call(a, 3, "b", "setPixel32", false);
    const Played played = play(a);
    EXPECT_EQ(played.frame.pixel(3, 3), makeColor(0, 0, 255));
    EXPECT_EQ(played.frame.pixel(9, 9), makeColor(0, 255, 0));
    EXPECT_EQ(played.frame.pixel(12, 3), makeColor(10, 20, 30));
}

TEST(BitmapDisplay, DrawPaintsClipsAndBitmapsThroughTheMatrix) {
    ActionAssembler a;
    // c = new BitmapData(20, 10, true, 0)
    a.push("c").push(0).push(true).push(10).push(20);
    construct(a, 4, "display", "BitmapData").op(Op::SetVariable);
    // c.draw(mc): the red square at the bitmap's corner, whatever the clip's own place.
    a.push("mc").op(Op::GetVariable);
    call(a, 1, "c", "draw", false);
    // c.draw(c, new Matrix(1, 0, 0, 1, 10, 0)): a copy of what c held, 10 pixels right.
    a.push(0).push(10).push(1).push(0).push(0).push(1);
    construct(a, 6, "geom", "Matrix");
    a.push("c").op(Op::GetVariable);
    call(a, 2, "c", "draw", false);
    for (auto [x, y] : {std::pair{2, 2}, {7, 2}, {12, 3}, {17, 3}}) {
        a.push(y).push(x);
        call(a, 2, "c", "getPixel32", true);
    }
    const Played played = play(a);
    const std::string red = std::to_string(int32_t(0xFFFF0000u));
    EXPECT_EQ(played.lines, (std::vector<std::string>{red, "0", red, "0"}));
}

TEST(BitmapDisplay, LoadBitmapReadsAnExportedBitmap) {
    ActionAssembler a;
    for (const char* linkage : {"pic", "nothing"}) {
        a.push("b").push(linkage).push(1).push("flash").op(Op::GetVariable).push("display");
        a.op(Op::GetMember).push("BitmapData").op(Op::GetMember).push("loadBitmap");
        a.op(Op::CallMethod).op(Op::SetVariable);
        a.push("b").op(Op::GetVariable).push("width").op(Op::GetMember).trace();
        a.push(2).push(2);
        call(a, 2, "b", "getPixel", true);
    }
    const Played played = play(a);
    EXPECT_EQ(played.lines, (std::vector<std::string>{"8", "255", "undefined", "undefined"}));
}

} // namespace
} // namespace swivio::swf
