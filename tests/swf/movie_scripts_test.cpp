// A movie's scripts as the player runs them: the order of frame scripts, first frames of
// placed clips and events, gotos from scripts, and clips that leave while their code runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/swf/traced_movie.h"

namespace swivio::swf {
namespace {

using testkit::ActionAssembler;
using Op = testkit::ActionCode;
using namespace swivio::testkit;

constexpr uint16_t kSprite = 1;

// A two-frame sprite tracing "NAME 1" and "NAME 2".
std::vector<uint8_t> tracingSprite(const std::string& name) {
    SpriteBuilder sprite;
    sprite.tag(TagCode::DoAction, traceAction(name + " 1")).showFrame();
    sprite.tag(TagCode::DoAction, traceAction(name + " 2")).showFrame();
    return sprite.defineSprite(kSprite);
}

TEST(MovieScriptsTest, ClipPlacedBetweenTwoActionsRunsItsFirstFrameBetweenThem) {
    SwfWriter w;
    w.frameCount = 2;
    w.tag(TagCode::DefineSprite, tracingSprite("child"));
    w.tag(TagCode::DoAction, traceAction("root before"));
    Place child = Place().at(1).of(kSprite);
    child.name = "child";
    place(w, child);
    w.tag(TagCode::DoAction, traceAction("root after"));
    w.showFrame();
    w.tag(TagCode::DoAction, traceAction("root 2"));
    w.showFrame().end();
    EXPECT_EQ(traced(w, 2), (std::vector<std::string>{"root before", "child 1", "root after",
                                                      "child 2", "root 2"}));
}

TEST(MovieScriptsTest, StopAndGotoFromScriptsSteerTheRoot) {
    SwfWriter w;
    w.frameCount = 3;
    w.tag(TagCode::DoAction, ActionAssembler().push("one").trace().gotoFrame(2).op(Op::Play).build());
    w.showFrame();
    w.tag(TagCode::DoAction, traceAction("two"));
    w.showFrame();
    w.tag(TagCode::DoAction, ActionAssembler().push("three").trace().op(Op::Stop).build());
    w.showFrame().end();
    // frame 1 jumps to frame 3, which stops there: frame 2 never runs.
    EXPECT_EQ(traced(w, 4), (std::vector<std::string>{"one", "three"}));
}

TEST(MovieScriptsTest, CodeOfAClipThatRemovedItselfStops) {
    SpriteBuilder sprite;
    ActionAssembler code;
    code.push("before").trace();
    code.push("").op(Op::RemoveSprite); // removes the clip the code runs on ("" is itself)
    code.push("after").trace();
    sprite.tag(TagCode::DoAction, code.build()).showFrame();
    SwfWriter w;
    w.tag(TagCode::DefineSprite, sprite.defineSprite(kSprite));
    ActionAssembler attach;
    // this.attachMovie("lib", "a", 1): the clip is at a script depth, so it may be removed.
    attach.push(1).push("a").push("lib").push(3).push("_root").op(Op::GetVariable);
    attach.push("attachMovie").op(Op::CallMethod).op(Op::Pop);
    w.tag(TagCode::ExportAssets, exportAssets({{kSprite, "lib"}}));
    w.tag(TagCode::DoAction, attach.build());
    w.showFrame().end();
    EXPECT_EQ(traced(w, 1), (std::vector<std::string>{"before"}));
}

TEST(MovieScriptsTest, AClassRegisteredByTheFramesInitActionsBuildsClipsPlacedBeforeThem) {
    SpriteBuilder sprite;
    sprite.showFrame();
    SwfWriter w;
    w.tag(TagCode::DefineSprite, sprite.defineSprite(kSprite));
    w.tag(TagCode::ExportAssets, exportAssets({{kSprite, "lib"}}));
    place(w, Place().at(1).of(kSprite));
    // Object.registerClass("lib", function () { trace("built"); })
    ActionAssembler init;
    init.defineFunction("", {}, [](ActionAssembler& body) { body.push("built").trace(); });
    init.push("lib").push(2).push("Object").op(Op::GetVariable).push("registerClass");
    init.op(Op::CallMethod).op(Op::Pop);
    w.tag(TagCode::DoInitAction, doInitAction(kSprite, init.build()));
    w.showFrame().end();
    EXPECT_EQ(traced(w, 1), (std::vector<std::string>{"built"}));
}

TEST(MovieScriptsTest, CodeOfAClipTheRootRemovedRunsOnUntilItCallsSomething) {
    // The clip sends the root to frame 2, which removes the clip: its code goes on, reading
    // the root's variables, until its next call.
    SpriteBuilder sprite;
    ActionAssembler code;
    code.setTarget("_root").gotoFrame(1).setTarget("");
    code.push("v").op(Op::GetVariable).trace();
    code.push(0).push("f").op(Op::CallFunction).op(Op::Pop);
    code.push("after the call").trace();
    sprite.tag(TagCode::DoAction, code.build()).showFrame();
    SwfWriter w;
    w.frameCount = 2;
    w.tag(TagCode::DefineSprite, sprite.defineSprite(kSprite));
    w.tag(TagCode::DoAction, ActionAssembler().push("v").push("root's").op(Op::SetVariable).build());
    place(w, Place().at(1).of(kSprite));
    w.tag(TagCode::DoAction, ActionAssembler().op(Op::Stop).build());
    w.showFrame();
    w.tag(TagCode::RemoveObject2, removeObject2(1));
    w.showFrame().end();
    EXPECT_EQ(traced(w, 1), (std::vector<std::string>{"root's"}));
}

TEST(MovieScriptsTest, OnEnterFrameRunsEveryFrameOnItsClip) {
    SwfWriter w;
    w.frameCount = 1;
    ActionAssembler code;
    code.push("n").push(0).op(Op::SetVariable);
    code.push("_root").op(Op::GetVariable).push("onEnterFrame");
    code.defineFunction("", {}, [](ActionAssembler& body) {
        body.push("n").push("n").op(Op::GetVariable).op(Op::Increment).op(Op::SetVariable);
        body.push("n").op(Op::GetVariable).trace();
    });
    code.op(Op::SetMember);
    w.tag(TagCode::DoAction, code.build());
    w.showFrame().end();
    EXPECT_EQ(traced(w, 4), (std::vector<std::string>{"1", "2", "3"}));
}

// Paths as Flash Player walks them, from a root holding clip "a" (with a child "child" and a
// string "variable") and a number "root_var": what eval(path) is, and which clip a tellTarget
// or getProperty reaches.
TEST(MovieScriptsTest, TargetPathsAreWalkedAsFlashPlayerWalksThem) {
    struct Case {
        const char* path;
        const char* evalType;   // typeof eval(path)
        const char* targetName; // getProperty(path, _name), "-" when it names no clip
    };
    const Case cases[] = {
        {"/", "movieclip", ""},           {"//", "undefined", "-"},
        {"a/", "movieclip", "a"},         {"a/..:a", "movieclip", "a"},
        {"a/../a", "undefined", "a"},     {"../a", "undefined", "-"},
        {"_level0/.a", "movieclip", "-"}, {"_level0:a.child", "movieclip", "child"},
        {"_level0.a/child", "undefined", "child"}, {"_level0/a.child", "movieclip", "-"},
        {"_flash0", "movieclip", ""},     {"_level0...", "undefined", ""},
        {".root_var", "undefined", "-"},
        {"/this", "undefined", "-"},      {"this", "movieclip", "-"},
    };
    constexpr uint16_t kChild = 1, kA = 2;
    SwfWriter w;
    w.version = 6;
    w.tag(TagCode::DefineSprite, SpriteBuilder().showFrame().defineSprite(kChild));
    Place child = Place().at(1).of(kChild);
    child.name = "child";
    w.tag(TagCode::DefineSprite, SpriteBuilder().place(child).showFrame().defineSprite(kA));
    Place a = Place().at(1).of(kA);
    a.name = "a";
    place(w, a);
    ActionAssembler code;
    code.push("root_var").push(5).op(Op::SetVariable);
    code.push("a:variable").push("text").op(Op::SetVariable);
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        code.push(c.path).op(Op::GetVariable).op(Op::TypeOf).trace();
        // A name that reaches no clip reads as undefined, which "-" + undefined shows.
        code.push("-").push(c.path).push(13).op(Op::GetProperty).op(Op::Add2).trace();
        expected.push_back(c.evalType);
        expected.push_back(std::string("-") + (std::string(c.targetName) == "-" ? "" : c.targetName));
    }
    // A path that ends on a string where a clip is wanted is reported, as Flash Player does.
    code.push("a:variable").push(13).op(Op::GetProperty).op(Op::Pop);
    expected.push_back(
        "Parameters of primitive types are no longer coerced into the required type - Object.");
    w.tag(TagCode::DoAction, code.build());
    w.showFrame().end();
    EXPECT_EQ(traced(w, 1), expected);
}

} // namespace
} // namespace swivio::swf
