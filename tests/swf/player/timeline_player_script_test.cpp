// What the timeline offers scripts: handles, each clip's own timeline, and what a seek changes
// for objects that scripts have placed or moved.
#include "swf/player/timeline_player.h"

#include <gtest/gtest.h>

#include "tests/swf/player/player_test_movies.h"

namespace swivio::swf {
namespace {

using namespace testkit;

// Sprite 10: frame k moves square 1 to x = 100 k and starts a sound (5 frames). The root:
// frame 0 places the sprite at depth 1, x = 10; frame 1 moves it to x = 500 with red added
// and places square 2 at depth 2; frame 2 removes depth 2; frame 3 places square 3 there.
SwfWriter scriptMovie() {
    SpriteBuilder sprite;
    for (int k = 0; k < 5; ++k)
        sprite.place(k == 0 ? Place().at(1).of(1) : Place().at(1).moving().translate(100 * k, 0))
            .tag(15, {1, 0, 0})
            .showFrame();
    SwfWriter w;
    w.frameCount = 4;
    test::defineSquares(w);
    w.tag(TagCode::DefineSprite, sprite.defineSprite(10));
    place(w, Place().at(1).of(10).translate(10, 0)).showFrame();
    place(w, Place().at(1).moving().translate(500, 0).colorTransform({256, 256, 256, 256},
                                                                     {50, 0, 0, 0}));
    place(w, Place().at(2).of(2)).showFrame();
    w.tag(TagCode::RemoveObject2, removeObject2(2)).showFrame();
    place(w, Place().at(2).of(3)).showFrame().end();
    return w;
}

enum class Script { None, Transform /* to x = 7, no red */, PlaceSquare };

struct RuleCase {
    const char* name;
    int from, depth; // the root frame where the script acts, and the depth it acts on
    Script script;
    int to;     // the root frame sought next
    bool stays; // the object's handle still finds it
    double x;   // and then its position and red addition
    float red;
};

class ScriptRules : public testing::TestWithParam<RuleCase> {};

TEST_P(ScriptRules, DecideWhatTheTimelineChanges) {
    const RuleCase& c = GetParam();
    TimelinePlayer player(test::definitionOf(scriptMovie()));
    player.gotoFrame(c.from);
    DisplayObject* object = c.script == Script::PlaceSquare
                                ? player.placeByScript(player.root(), 1, c.depth)
                                : player.root().childAtDepth(c.depth);
    ASSERT_NE(object, nullptr);
    if (c.script == Script::Transform) {
        object->matrix.tx = 7;
        object->colorTransform.ar = 0;
        object->transformedByScript = true;
    }
    const DisplayObjectHandle handle = object->handle();
    player.gotoFrame(c.to);
    const DisplayObject* after = player.find(handle);
    ASSERT_EQ(after != nullptr, c.stays);
    if (!after)
        return;
    EXPECT_EQ(player.root().childAtDepth(c.depth), after);
    EXPECT_DOUBLE_EQ(after->matrix.tx, c.x);
    EXPECT_FLOAT_EQ(after->colorTransform.ar, c.red);
}

INSTANTIATE_TEST_SUITE_P(
    TimelinePlayer, ScriptRules,
    testing::Values(
        RuleCase{"MoveTagMovesAnUntouchedClip", 0, 1, Script::None, 1, true, 500, 50},
        RuleCase{"MoveTagLeavesAMovedClip", 0, 1, Script::Transform, 1, true, 7, 0},
        RuleCase{"SeekBackResetsAnUntouchedClip", 1, 1, Script::None, 0, true, 10, 0},
        RuleCase{"SeekBackKeepsWhatAScriptGave", 1, 1, Script::Transform, 0, true, 7, 0},
        RuleCase{"RemovedByASeekBack", 1, 2, Script::None, 0, false, 0, 0},
        RuleCase{"HandleNotReusedAtItsDepth", 1, 2, Script::None, 3, false, 0, 0},
        RuleCase{"ScriptDepthsStay", 3, kFirstScriptDepth + 1, Script::PlaceSquare, 0, true, 0, 0},
        RuleCase{"ScriptObjectsLeaveTimelineDepths", 3, 5, Script::PlaceSquare, 0, false, 0, 0},
        RuleCase{"SeekForwardKeepsScriptObjects", 0, 5, Script::PlaceSquare, 3, true, 0, 0}),
    [](const auto& param) { return std::string(param.param.name); });

class CountingSoundHook : public SoundHook {
public:
    void frameSounds(const DisplayObject&, int, std::span<const TagRecord>) override { ++calls; }
    int calls = 0;
};

struct ClipGotoCase {
    const char* name;
    int ticks, target, frame; // ticks played, the clip's frame asked for and then shown
};

class ClipGoto : public testing::TestWithParam<ClipGotoCase> {};

TEST_P(ClipGoto, SeeksOnlyThatClipWithoutSounds) {
    const ClipGotoCase& c = GetParam();
    CountingSoundHook hook;
    TimelinePlayer player(test::definitionOf(scriptMovie()), &hook);
    player.stop();
    DisplayObject* clip = player.root().childAtDepth(1);
    for (int i = 0; i < c.ticks; ++i)
        player.advance();
    const int sounds = hook.calls;
    player.gotoFrame(*clip, c.target);
    EXPECT_EQ(player.root().childAtDepth(1), clip);
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_EQ(clip->currentFrame, c.frame);
    EXPECT_DOUBLE_EQ(clip->childAtDepth(1)->matrix.tx, 100 * c.frame);
    EXPECT_EQ(hook.calls, sounds);
}

INSTANTIATE_TEST_SUITE_P(TimelinePlayer, ClipGoto,
                         testing::Values(ClipGotoCase{"Forward", 0, 3, 3},
                                         ClipGotoCase{"Backward", 4, 1, 1},
                                         ClipGotoCase{"PastTheEnd", 2, 99, 4},
                                         ClipGotoCase{"BeforeTheStart", 3, -3, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(TimelinePlayer, ObjectsOfAnotherPlayerOrNotClipsAreLeftAlone) {
    TimelinePlayer player(test::definitionOf(scriptMovie()));
    TimelinePlayer other(test::definitionOf(scriptMovie()));
    EXPECT_EQ(player.find(other.root().handle()), nullptr);
    other.gotoFrame(3);
    player.gotoFrame(other.root(), 0);
    EXPECT_EQ(other.currentFrame(), 3);
    EXPECT_EQ(player.placeByScript(*other.root().childAtDepth(1), 2, 1), nullptr);
    EXPECT_EQ(player.placeByScript(player.root(), 999, 1), nullptr);
    player.gotoFrame(3);
    player.gotoFrame(*player.root().childAtDepth(2), 0); // a shape: nothing to seek
    EXPECT_EQ(player.root().childAtDepth(2)->characterId(), 3);
}

} // namespace
} // namespace swivio::swf
