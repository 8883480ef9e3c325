// What the timeline offers the scripts: handles, each clip's own timeline, and the rules a
// seek follows for objects that scripts have made or moved.
#include "swf/player/timeline_player.h"

#include <vector>

#include <gtest/gtest.h>

#include "tests/swf/player/player_test_movies.h"

namespace swivio::swf {
namespace {

using namespace testkit;
using test::defineSquares;
using test::definitionOf;

// Frame 0 places square 1 at depth 1 and square 3 at depth 3; frame 1 removes depth 1;
// frame 2 places square 2 at depth 1; frame 3 shows the same.
SwfWriter handleMovie() {
    SwfWriter w;
    w.frameCount = 4;
    defineSquares(w);
    place(w, Place().at(1).of(1));
    place(w, Place().at(3).of(3)).showFrame();
    w.tag(TagCode::RemoveObject2, removeObject2(1)).showFrame();
    place(w, Place().at(1).of(2)).showFrame();
    w.showFrame().end();
    return w;
}

struct HandleCase {
    const char* name;
    int depth;              // the object whose handle is taken at frame 0
    std::vector<int> seeks; // root frames, in turn
    bool resolves;          // the handle still finds the same object
};

class Handles : public testing::TestWithParam<HandleCase> {};

TEST_P(Handles, FindTheirObjectOnlyWhileItLives) {
    const HandleCase& c = GetParam();
    TimelinePlayer player(definitionOf(handleMovie()));
    EXPECT_EQ(player.find(player.root().handle()), &player.root());
    const DisplayObject* object = player.root().childAtDepth(c.depth);
    ASSERT_NE(object, nullptr);
    const DisplayObjectHandle handle = object->handle();
    for (int frame : c.seeks)
        player.gotoFrame(frame);
    if (c.resolves)
        EXPECT_EQ(player.find(handle), object);
    else
        EXPECT_EQ(player.find(handle), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    TimelinePlayer, Handles,
    testing::Values(HandleCase{"Unchanged", 1, {}, true},
                    HandleCase{"Removed", 1, {1}, false},
                    HandleCase{"AnotherObjectAtItsDepth", 1, {2}, false},
                    HandleCase{"PlacedAgainBySeekingBack", 1, {2, 0}, false},
                    HandleCase{"KeptThroughSeeksBack", 3, {3, 0}, true},
                    HandleCase{"KeptThroughManySeeks", 3, {2, 1, 3, 0}, true}),
    [](const auto& param) { return std::string(param.param.name); });

// A sprite (id 10) of 5 frames whose frame k moves square 1 to x = 100 k and starts a sound;
// the root's single frame places it at depth 1.
SwfWriter animatedClipMovie() {
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1)).tag(15, {1, 0, 0}).showFrame();
    for (int k = 1; k < 5; ++k)
        sprite.place(Place().at(1).moving().translate(100 * k, 0)).tag(15, {1, 0, 0}).showFrame();
    SwfWriter w;
    defineSquares(w);
    w.tag(TagCode::DefineSprite, sprite.defineSprite(10));
    place(w, Place().at(1).of(10)).showFrame().end();
    return w;
}

class CountingSoundHook : public SoundHook {
public:
    void frameSounds(const DisplayObject&, int, std::span<const TagRecord>) override { ++calls; }
    int calls = 0;
};

struct ClipGotoCase {
    const char* name;
    int ticks;  // played before the seek
    int target; // the clip's frame asked for
    int frame;  // the clip's frame after it
};

class ClipGoto : public testing::TestWithParam<ClipGotoCase> {};

TEST_P(ClipGoto, SeeksOnlyThatClipAndPlaysNoSounds) {
    const ClipGotoCase& c = GetParam();
    CountingSoundHook hook;
    TimelinePlayer player(definitionOf(animatedClipMovie()), &hook);
    DisplayObject* clip = player.root().childAtDepth(1);
    ASSERT_NE(clip, nullptr);
    for (int i = 0; i < c.ticks; ++i)
        player.advance();
    const int soundsBefore = hook.calls;
    player.gotoFrame(*clip, c.target);
    EXPECT_EQ(player.root().childAtDepth(1), clip);
    EXPECT_EQ(clip->currentFrame, c.frame);
    ASSERT_NE(clip->childAtDepth(1), nullptr);
    EXPECT_DOUBLE_EQ(clip->childAtDepth(1)->matrix.tx, 100 * c.frame);
    EXPECT_EQ(hook.calls, soundsBefore);
}

INSTANTIATE_TEST_SUITE_P(TimelinePlayer, ClipGoto,
                         testing::Values(ClipGotoCase{"Forward", 0, 3, 3},
                                         ClipGotoCase{"Backward", 4, 1, 1},
                                         ClipGotoCase{"ToTheFrameItShows", 2, 2, 2},
                                         ClipGotoCase{"PastTheEndClamped", 2, 99, 4},
                                         ClipGotoCase{"BeforeTheStartClamped", 3, -3, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(TimelinePlayer, AStoppedClipHoldsItsFrameWhileTheMovieTicks) {
    TimelinePlayer player(definitionOf(animatedClipMovie()));
    DisplayObject* clip = player.root().childAtDepth(1);
    ASSERT_NE(clip, nullptr);
    player.advance();
    player.stop(*clip);
    player.advance();
    player.advance();
    EXPECT_EQ(clip->currentFrame, 1);
    player.play(*clip);
    player.advance();
    EXPECT_EQ(clip->currentFrame, 2);
}

// Sprite 10 holds square 1. The root: frame 0 places the sprite at depth 1 at x = 10;
// frame 1 moves it to x = 500 with red added and places square 2 at depth 2; frame 2
// removes depth 2; frame 3 places square 3 at depth 2.
SwfWriter scriptRulesMovie() {
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1)).showFrame();
    SwfWriter w;
    w.frameCount = 4;
    defineSquares(w);
    w.tag(TagCode::DefineSprite, sprite.defineSprite(10));
    place(w, Place().at(1).of(10).translate(10, 0)).showFrame();
    place(w, Place().at(1).moving().translate(500, 0).colorTransform({256, 256, 256, 256},
                                                                       {50, 0, 0, 0}));
    place(w, Place().at(2).of(2)).showFrame();
    w.tag(TagCode::RemoveObject2, removeObject2(2)).showFrame();
    place(w, Place().at(2).of(3)).showFrame().end();
    return w;
}

// What a script does to the root at the first frame of a case.
enum class Script {
    None,
    Transform,   // moves the object at depth to x = 7 and clears its red
    PlaceSquare, // places square 1 at depth
};

struct ScriptRuleCase {
    const char* name;
    int from;   // the root frame where the script runs
    int depth;  // the object it looks at (or places)
    Script script;
    int to;     // the root frame sought next
    bool stays; // the same object is still there
    double x;   // its position then
    float redAdd;
};

class ScriptRules : public testing::TestWithParam<ScriptRuleCase> {};

TEST_P(ScriptRules, DecideWhatTheTimelineChanges) {
    const ScriptRuleCase& c = GetParam();
    TimelinePlayer player(definitionOf(scriptRulesMovie()));
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
    EXPECT_FLOAT_EQ(after->colorTransform.ar, c.redAdd);
}

INSTANTIATE_TEST_SUITE_P(
    TimelinePlayer, ScriptRules,
    testing::Values(
        ScriptRuleCase{"MoveTagMovesAnUntouchedClip", 0, 1, Script::None, 1, true, 500, 50},
        ScriptRuleCase{"MoveTagLeavesAClipAScriptMoved", 0, 1, Script::Transform, 1, true, 7, 0},
        ScriptRuleCase{"SeekBackResetsAnUntouchedClip", 1, 1, Script::None, 0, true, 10, 0},
        ScriptRuleCase{"SeekBackKeepsWhatAScriptGave", 1, 1, Script::Transform, 0, true, 7, 0},
        ScriptRuleCase{"SeekBackRemovesLaterPlacements", 1, 2, Script::None, 0, false, 0, 0},
        ScriptRuleCase{"LaterPlacementAtTheDepthIsNew", 1, 2, Script::None, 3, false, 0, 0},
        ScriptRuleCase{"SeekBackLeavesScriptDepths", 3, kFirstScriptDepth + 1,
                       Script::PlaceSquare, 0, true, 0, 0},
        ScriptRuleCase{"SeekBackClearsScriptObjectsFromTimelineDepths", 3, 5,
                       Script::PlaceSquare, 0, false, 0, 0},
        ScriptRuleCase{"SeekForwardLeavesScriptObjects", 0, 5, Script::PlaceSquare, 3, true,
                       0, 0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(TimelinePlayer, LoopingLeavesScriptDepthsAndGotoIgnoresForeignObjects) {
    TimelinePlayer player(definitionOf(scriptRulesMovie()));
    TimelinePlayer other(definitionOf(scriptRulesMovie()));
    const DisplayObject* placed = player.placeByScript(player.root(), 1, kFirstScriptDepth);
    ASSERT_NE(placed, nullptr);
    const DisplayObjectHandle handle = placed->handle();
    for (int i = 0; i < 4; ++i)
        player.advance();
    EXPECT_EQ(player.currentFrame(), 0);
    ASSERT_EQ(player.find(handle), placed);
    // Another player's clips, and objects that are not clips, are left as they are.
    other.gotoFrame(3);
    player.gotoFrame(other.root(), 0);
    EXPECT_EQ(other.currentFrame(), 3);
    player.gotoFrame(*player.root().childAtDepth(kFirstScriptDepth), 0);
    DisplayObject* foreign = other.root().childAtDepth(1);
    EXPECT_EQ(player.placeByScript(*foreign, 2, 1), nullptr);
    EXPECT_EQ(foreign->childAtDepth(1)->characterId(), 1);
    EXPECT_EQ(player.placeByScript(player.root(), 999, 1), nullptr);
}

} // namespace
} // namespace swivio::swf
