// A movie's scripts as the player runs them: the order of frame scripts, first frames of
// placed clips and events, gotos from scripts, and clips that leave while their code runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "swf/avm1/movie_runtime.h"
#include "swf/movie.h"
#include "swf/movie_player.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"

namespace swivio::swf {
namespace {

using testkit::ActionAssembler;
using Op = testkit::ActionCode;
using namespace swivio::testkit;

std::vector<uint8_t> traceAction(const std::string& text) {
    return ActionAssembler().push(text).trace().build();
}

// What the movie traces over frames (the first included).
std::vector<std::string> traced(const SwfWriter& writer, int frames) {
    auto movie = Movie::load(writer.build());
    EXPECT_TRUE(movie.ok()) << movie.message();
    if (!movie)
        return {};
    std::vector<std::string> lines;
    MoviePlayer player(*movie, PlayerOptions{}, [&](avm1::ScriptRuntime& scripts) {
        scripts.setTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    });
    for (int i = 1; i < frames; ++i)
        player.advance();
    return lines;
}

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

} // namespace
} // namespace swivio::swf
