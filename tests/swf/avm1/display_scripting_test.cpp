// What scripts see of the display list and of the player's globals: objects at depths, clones
// and attached symbols, and names that exist only for some versions.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "swf/avm1/movie_runtime.h"
#include "swf/format/movie_definition.h"
#include "swf/player/timeline_player.h"
#include "tests/swf/avm1/script_probe.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_writer.h"

namespace swivio::swf::avm1 {
namespace {

using testkit::ActionAssembler;
using testkit::ActionCode;

// A rectangle at depth 1 (-16383 to scripts), a sprite "mc" at depth 2, a button exported as
// "btn" and not placed, and the frame's actions.
std::vector<uint8_t> stageMovie(int version, const std::vector<uint8_t>& actions,
                                const char* spriteExport) {
    testkit::SwfWriter writer;
    writer.version = uint8_t(version);
    writer.tag(testkit::TagCode::DefineShape3,
               testkit::rectangleShape(1, 0, 0, 200, 200, 255, 0, 0));
    testkit::SpriteBuilder sprite;
    sprite.showFrame();
    writer.tag(testkit::TagCode::DefineSprite, sprite.defineSprite(2));
    // DefineButton2: id, no flags, no actions, no records.
    writer.tag(testkit::TagCode::DefineButton2, {3, 0, 0, 0, 0, 0});
    writer.tag(testkit::TagCode::ExportAssets, testkit::exportAssets({{3, "btn"}}));
    if (spriteExport)
        writer.tag(testkit::TagCode::ExportAssets, testkit::exportAssets({{2, spriteExport}}));
    testkit::place(writer, testkit::Place().at(1).of(1));
    testkit::Place clip;
    clip.at(2).of(2);
    clip.name = "mc";
    testkit::place(writer, clip);
    writer.tag(testkit::TagCode::DoAction, actions);
    writer.showFrame().end();
    return writer.build();
}

// Plays the movie's first frame and answers with its trace lines joined by '|'.
std::string playFirstFrame(int version, const std::vector<uint8_t>& actions,
                           const char* spriteExport = nullptr) {
    auto movie = readMovieDefinition(stageMovie(version, actions, spriteExport));
    EXPECT_TRUE(movie.ok());
    if (!movie.ok())
        return {};
    std::string out;
    ScriptRuntime runtime(movie.value());
    TimelinePlayer player(movie.value(), nullptr, &runtime);
    runtime.attach(player);
    runtime.setTraceSink([&out](std::string_view line) {
        out += (out.empty() ? "" : "|") + std::string(line);
    });
    runtime.runQueued();
    return out;
}

// target.method(args...) with the result traced.
void traceCall(ActionAssembler& a, const char* target, const char* method,
               std::vector<std::function<void(ActionAssembler&)>> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        (*it)(a);
    a.push(int(args.size())).push(target).op(ActionCode::GetVariable).push(method);
    a.op(ActionCode::CallMethod).trace();
}

auto number(int n) {
    return [n](ActionAssembler& a) { a.push(n); };
}
auto text(const char* s) {
    return [s](ActionAssembler& a) { a.push(s); };
}

void traceTypeOf(ActionAssembler& a, const char* name) {
    a.push(name).op(ActionCode::GetVariable).op(ActionCode::TypeOf).trace();
}

struct StageCase {
    const char* name;
    int version;
    std::function<void(ActionAssembler&)> actions;
    const char* expected;
};

class StageScriptTest : public ::testing::TestWithParam<StageCase> {};

TEST_P(StageScriptTest, TracesWhatThePlayerAnswers) {
    ActionAssembler a;
    GetParam().actions(a);
    EXPECT_EQ(playFirstFrame(GetParam().version, a.build()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StageScriptTest,
    ::testing::Values(
        // A shape has no script object: its holder answers for its depth; a clip answers
        // for itself and an empty depth with nothing.
        StageCase{"InstanceAtDepth", 7,
                  [](ActionAssembler& a) {
                      traceCall(a, "_root", "getInstanceAtDepth", {number(-16383)});
                      traceCall(a, "_root", "getInstanceAtDepth", {number(-16382)});
                      traceCall(a, "_root", "getInstanceAtDepth", {number(-16000)});
                  },
                  "_level0|_level0.mc|undefined"},
        // Compilers add 16384 to the depth duplicateMovieClip is given.
        StageCase{"CloneSpriteDepth", 6,
                  [](ActionAssembler& a) {
                      a.push("mc").push("dup").push(16384 + 3).op(ActionCode::CloneSprite);
                      traceCall(a, "dup", "getDepth", {});
                      a.push("mc").push("low").push(-1).op(ActionCode::CloneSprite);
                      traceTypeOf(a, "low");
                  },
                  "3|undefined"},
        StageCase{"AttachExportedButton", 6,
                  [](ActionAssembler& a) {
                      traceCall(a, "_root", "attachMovie",
                                {text("btn"), text("b"), number(5)});
                      traceCall(a, "b", "getDepth", {});
                  },
                  "_level0.b|5"},
        StageCase{"GlobalUnknownToVersion5", 5, [](ActionAssembler& a) { traceTypeOf(a, "_global"); },
                  "undefined"},
        StageCase{"GlobalFromVersion6", 6, [](ActionAssembler& a) { traceTypeOf(a, "_global"); },
                  "object"},
        StageCase{"PlayerLeavesONull", 8, [](ActionAssembler& a) { traceTypeOf(a, "o"); },
                  "null"}),
    [](const ::testing::TestParamInfo<StageCase>& param) { return std::string(param.param.name); });

// A sprite attached under a registered class is constructed as new constructs: super() in
// the class's constructor runs the base class's.
TEST(RegisteredClassTest, SuperInTheConstructorRunsTheBaseClass) {
    ActionAssembler a;
    a.defineFunction("Base", {}, [](ActionAssembler& b) { b.push("base").trace(); });
    a.defineFunction("Sub", {}, [](ActionAssembler& b) {
        b.push(0).push("super").op(ActionCode::CallFunction).op(ActionCode::Pop);
        b.push("sub").trace();
    });
    a.push("Sub").op(ActionCode::GetVariable).push("Base").op(ActionCode::GetVariable);
    a.op(ActionCode::Extends);
    a.push("Sub").op(ActionCode::GetVariable).push("clip").push(2).push("Object");
    a.op(ActionCode::GetVariable).push("registerClass").op(ActionCode::CallMethod);
    a.op(ActionCode::Pop);
    traceCall(a, "_root", "attachMovie", {text("clip"), text("c"), number(7)});
    EXPECT_EQ(playFirstFrame(7, a.build(), "clip"), "base|sub|_level0.c");
}

// A placed clip hears its load event before its first frame's actions run.
TEST(ClipEventOrderTest, LoadComesBeforeTheFirstFramesActions) {
    testkit::SwfWriter writer;
    writer.version = 6;
    testkit::SpriteBuilder sprite;
    sprite.tag(testkit::TagCode::DoAction, ActionAssembler().push("frame").trace().build());
    sprite.showFrame();
    writer.tag(testkit::TagCode::DefineSprite, sprite.defineSprite(1));
    testkit::Place clip;
    clip.at(1).of(1);
    clip.clipActions =
        testkit::clipActions({{1u, 0, ActionAssembler().push("load").trace().build()}}, 6);
    testkit::place(writer, clip);
    writer.showFrame().end();
    auto movie = readMovieDefinition(writer.build());
    ASSERT_TRUE(movie.ok());
    std::vector<std::string> lines;
    ScriptRuntime runtime(movie.value());
    TimelinePlayer player(movie.value(), nullptr, &runtime);
    runtime.attach(player);
    runtime.setTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
    runtime.runQueued();
    EXPECT_EQ(lines, (std::vector<std::string>{"load", "frame"}));
}

// A script class whose prototype is a Date inherits the methods but not the time: they
// answer undefined on its objects, while a Date made by new answers numbers.
TEST(DateSubclassTest, ObjectsOfAClassOverADateAreNotDates) {
    ScriptProbe probe(7);
    ActionAssembler a;
    a.defineFunction("Test", {}, [](ActionAssembler&) {});
    a.push("Test").op(ActionCode::GetVariable).push("prototype");
    a.push(0).push("Date").op(ActionCode::NewObject).op(ActionCode::SetMember);
    a.push("t").push(0).push("Test").op(ActionCode::NewObject).op(ActionCode::SetVariable);
    a.push(0).push("t").op(ActionCode::GetVariable).push("getYear").op(ActionCode::CallMethod);
    a.op(ActionCode::TypeOf).trace();
    a.push(0).push(1).push("Date").op(ActionCode::NewObject).push("getYear");
    a.op(ActionCode::CallMethod).op(ActionCode::TypeOf).trace();
    EXPECT_EQ(probe.run(a), "undefined|number");
}

} // namespace
} // namespace swivio::swf::avm1
