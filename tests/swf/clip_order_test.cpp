// The order in which placed clips run their code, and how scripts compare clip references.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "swf/format/control_tags.h"
#include "tests/support/action_assembler.h"
#include "tests/support/swf_movies.h"
#include "tests/swf/traced_movie.h"

namespace swivio::swf {
namespace {

using testkit::ActionAssembler;
using Op = testkit::ActionCode;
using namespace swivio::testkit;

// A two-frame sprite whose second frame traces its own name.
std::vector<uint8_t> secondFrameTracer(uint16_t id, const std::string& name) {
    SpriteBuilder sprite;
    sprite.showFrame();
    sprite.tag(TagCode::DoAction, traceAction(name)).showFrame();
    return sprite.defineSprite(id);
}

TEST(ClipOrderTest, ClipsAdvanceNewestFirstWhateverTheirDepths) {
    SwfWriter w;
    w.frameCount = 2;
    // Made in the order a, b, c; their depths order them a, c, b.
    const std::pair<const char*, uint16_t> clips[] = {{"a", 1}, {"b", 3}, {"c", 2}};
    uint16_t id = 1;
    for (const auto& [name, depth] : clips) {
        w.tag(TagCode::DefineSprite, secondFrameTracer(id, name));
        place(w, Place().at(depth).of(id));
        ++id;
    }
    w.showFrame();
    w.showFrame().end();
    EXPECT_EQ(traced(w, 2), (std::vector<std::string>{"c", "b", "a"}));
}

TEST(ClipOrderTest, ConstructHandlersRunBeforeTheFramesActions) {
    SpriteBuilder sprite;
    sprite.tag(TagCode::DoAction, traceAction("clip frame")).showFrame();
    SwfWriter w;
    w.version = 6;
    w.tag(TagCode::DefineSprite, sprite.defineSprite(1));
    w.tag(TagCode::DoAction, traceAction("root frame"));
    Place clip = Place().at(1).of(1);
    clip.name = "clip";
    clip.clipActions = clipActions({{kClipEventConstruct, 0, traceAction("construct")},
                                    {kClipEventLoad, 0, traceAction("load")}},
                                   6);
    place(w, clip);
    w.showFrame().end();
    // Load and the clip's first frame keep their place after the tag, load first.
    EXPECT_EQ(traced(w, 1),
              (std::vector<std::string>{"construct", "root frame", "load", "clip frame"}));
}

// Traces this.getInstanceAtDepth(1) == (and ===) this.getInstanceAtDepth(2) after making
// clips of these names at depths 1 and 2.
std::vector<std::string> compareClipsAtDepths(const char* first, const char* second) {
    ActionAssembler a;
    auto make = [&a](const char* name, int depth) {
        a.push(depth).push(name).push(2).push("this").op(Op::GetVariable);
        a.push("createEmptyMovieClip").op(Op::CallMethod).op(Op::Pop);
    };
    auto atDepth = [&a](int depth) {
        a.push(depth).push(1).push("this").op(Op::GetVariable);
        a.push("getInstanceAtDepth").op(Op::CallMethod);
    };
    make(first, 1);
    make(second, 2);
    for (Op equals : {Op::Equals2, Op::StrictEquals}) {
        atDepth(1);
        atDepth(2);
        a.op(equals).trace();
    }
    SwfWriter w;
    w.version = 8;
    w.tag(TagCode::DoAction, a.build());
    w.showFrame().end();
    return traced(w, 1);
}

TEST(ClipOrderTest, ReferencesToClipsAtTheSamePathAreEqual) {
    EXPECT_EQ(compareClipsAtDepths("twin", "twin"), (std::vector<std::string>{"true", "true"}));
    EXPECT_EQ(compareClipsAtDepths("one", "other"),
              (std::vector<std::string>{"false", "false"}));
}

} // namespace
} // namespace swivio::swf
