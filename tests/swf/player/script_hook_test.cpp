// What the script hook hears, and the display list operations scripts call.
#include "swf/player/timeline_player.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "tests/swf/player/player_test_movies.h"

namespace swivio::swf {
namespace {

using namespace testkit;

// Sprite 10 (two frames): square 1 at depth 1, moved to x = 100 in its second frame. The root
// (four frames): the sprite at depth 1 named "clip"; square 2 at depth 2; depth 2 removed;
// square 3 at depth 2, and the sprite moved to x = 500.
SwfWriter hookMovie() {
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1)).showFrame();
    sprite.place(Place().at(1).moving().translate(100, 0)).showFrame();
    SwfWriter w;
    w.frameCount = 4;
    test::defineSquares(w);
    w.tag(TagCode::DefineSprite, sprite.defineSprite(10));
    Place clip = Place().at(1).of(10).translate(10, 0);
    clip.name = "clip";
    place(w, clip).showFrame();
    place(w, Place().at(2).of(2)).showFrame();
    w.tag(TagCode::RemoveObject2, removeObject2(2)).showFrame();
    place(w, Place().at(2).of(3));
    place(w, Place().at(1).moving().translate(500, 0)).showFrame().end();
    return w;
}

// Writes each call as "place C", "frame C F tick|seek" or "remove C" (C the character id, 0
// for the root), and checks what every call promises about the object's place.
class RecordingHook : public ScriptHook {
public:
    void objectPlaced(DisplayObject& object, const PlaceObject* place) override {
        EXPECT_EQ(object.parent()->childAtDepth(object.depth), &object);
        if (place) {
            EXPECT_EQ(place->depth, object.depth);
        }
        if (object.isClip()) {
            EXPECT_EQ(std::count(events.begin(), events.end(), frameOf(object, 0, false)), 0)
                << "a clip's first frame before its placement";
        }
        events.push_back("place " + std::to_string(object.characterId()));
    }
    void frameEntered(DisplayObject& clip, int frame, bool bySeek) override {
        EXPECT_EQ(clip.currentFrame, frame);
        events.push_back(frameOf(clip, frame, bySeek));
    }
    void objectRemoving(DisplayObject& object) override {
        EXPECT_EQ(object.parent()->childAtDepth(object.depth), &object);
        events.push_back("remove " + std::to_string(object.characterId()));
    }
    // The calls since the last take, in no particular order.
    std::vector<std::string> take() {
        std::vector<std::string> out = std::move(events);
        events.clear();
        std::sort(out.begin(), out.end());
        return out;
    }

    std::vector<std::string> events;

private:
    static std::string frameOf(const DisplayObject& clip, int frame, bool bySeek) {
        return "frame " + std::to_string(clip.characterId()) + " " + std::to_string(frame) +
               (bySeek ? " seek" : " tick");
    }
};

using Events = std::vector<std::string>;

struct HookCase {
    const char* name;
    std::function<void(TimelinePlayer&)> act;
    Events heard; // sorted
};

class HookCalls : public testing::TestWithParam<HookCase> {};

TEST_P(HookCalls, TellWhatChanged) {
    RecordingHook hook;
    TimelinePlayer player(test::definitionOf(hookMovie()), nullptr, &hook);
    EXPECT_EQ(hook.take(), (Events{"frame 0 0 tick", "frame 10 0 tick", "place 1", "place 10"}));
    GetParam().act(player);
    EXPECT_EQ(hook.take(), GetParam().heard);
}

INSTANTIATE_TEST_SUITE_P(
    TimelinePlayer, HookCalls,
    testing::Values(HookCase{"Tick",
                             [](TimelinePlayer& p) { p.advance(); },
                             {"frame 0 1 tick", "frame 10 1 tick", "place 2"}},
                    // The frames passed over run their tags but are not entered.
                    HookCase{"GotoForward",
                             [](TimelinePlayer& p) { p.gotoFrame(3); },
                             {"frame 0 3 seek", "place 2", "place 3", "remove 2"}},
                    HookCase{"SeekBackwards",
                             [](TimelinePlayer& p) {
                                 p.gotoFrame(3);
                                 p.gotoFrame(*p.root().childAtDepth(1), 1);
                                 p.gotoFrame(0);
                             },
                             {"frame 0 0 seek", "frame 0 3 seek", "frame 10 1 seek", "place 2",
                              "place 3", "remove 2", "remove 3"}},
                    // A clip looping to its first frame keeps square 1: nothing is removed.
                    HookCase{"Loop",
                             [](TimelinePlayer& p) {
                                 p.stop();
                                 p.advance();
                                 p.advance();
                             },
                             {"frame 10 0 tick", "frame 10 1 tick"}},
                    HookCase{"ScriptRemovalChildrenToo",
                             [](TimelinePlayer& p) { p.removeByScript(*p.root().childAtDepth(1)); },
                             {"remove 1", "remove 10"}},
                    HookCase{
                        "ScriptPlacement",
                        [](TimelinePlayer& p) { p.placeByScript(p.root(), 10, kFirstScriptDepth); },
                        {"frame 10 0 tick", "place 1", "place 10"}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(TimelinePlayer, RemovedObjectsAreReportedChildrenFirst) {
    RecordingHook hook;
    TimelinePlayer player(test::definitionOf(hookMovie()), nullptr, &hook);
    hook.events.clear();
    player.removeByScript(*player.root().childAtDepth(1));
    EXPECT_EQ(hook.events, (Events{"remove 1", "remove 10"}));
}

struct Fixture {
    TimelinePlayer player{test::definitionOf(hookMovie())};
    DisplayObject& clip() { return *player.root().childAtDepth(1); }
};

TEST(TimelinePlayer, ScriptRemovalDestroysTheObjectAndItsChildren) {
    Fixture f;
    const DisplayObjectHandle clip = f.clip().handle();
    const DisplayObjectHandle square = f.clip().childAtDepth(1)->handle();
    EXPECT_FALSE(f.player.removeByScript(f.player.root()));
    EXPECT_TRUE(f.player.removeByScript(f.clip()));
    EXPECT_EQ(f.player.find(clip), nullptr);
    EXPECT_EQ(f.player.find(square), nullptr);
    EXPECT_EQ(f.player.root().childAtDepth(1), nullptr);
    f.player.advance(); // nothing left pointing at it
    EXPECT_EQ(f.player.root().childAtDepth(1), nullptr);
}

// Going back to frame 0, which places the clip at depth 1: the square swapped there keeps
// the depth and no new clip is made; the clip, swapped to a depth frame 0 leaves empty, goes.
TEST(TimelinePlayer, SeekBackwardsLeavesASwappedObjectOnADepthTheTagsFill) {
    Fixture f;
    f.player.gotoFrame(1);
    DisplayObject* square = f.player.root().childAtDepth(2);
    const DisplayObjectHandle clip = f.clip().handle();
    ASSERT_TRUE(f.player.swapDepths(f.clip(), 2));
    f.player.gotoFrame(0);
    EXPECT_EQ(f.player.root().childAtDepth(1), square);
    EXPECT_EQ(f.player.find(clip), nullptr);
    EXPECT_EQ(f.player.root().childAtDepth(2), nullptr);
}

TEST(TimelinePlayer, SwapDepthsExchangesObjectsAndFreesThemFromTheTimeline) {
    Fixture f;
    f.player.gotoFrame(1);
    DisplayObject& clip = f.clip();
    DisplayObject* square = f.player.root().childAtDepth(2);
    ASSERT_TRUE(f.player.swapDepths(clip, 2));
    EXPECT_EQ(f.player.root().childAtDepth(2), &clip);
    EXPECT_EQ(f.player.root().childAtDepth(1), square);
    EXPECT_EQ(clip.depth, 2);
    EXPECT_EQ(square->depth, 1);
    ASSERT_TRUE(f.player.swapDepths(clip, 1));
    EXPECT_EQ(f.player.root().childAtDepth(1), &clip);
    // Frame 3 moves depth 1 to x = 500, but not a clip a script has moved.
    f.player.gotoFrame(3);
    EXPECT_DOUBLE_EQ(clip.matrix.tx, 10);
    ASSERT_TRUE(f.player.swapDepths(clip, kFirstScriptDepth));
    EXPECT_EQ(f.player.root().childAtDepth(1), nullptr);
    EXPECT_EQ(f.player.root().childAtDepth(kFirstScriptDepth), &clip);
    // A seek backwards places the timeline's own clip again and leaves the moved one be.
    const DisplayObjectHandle moved = clip.handle();
    f.player.gotoFrame(0);
    EXPECT_EQ(f.player.find(moved), &clip);
    ASSERT_NE(f.player.root().childAtDepth(1), nullptr);
    EXPECT_NE(f.player.root().childAtDepth(1), &clip);
    EXPECT_FALSE(f.player.swapDepths(f.player.root(), 3));
}

TEST(TimelinePlayer, DuplicateCopiesThePlacementAtANewDepth) {
    Fixture f;
    DisplayObject& clip = f.clip();
    clip.colorTransform.ar = 40;
    clip.ratio = 7;
    clip.clipDepth = 3;
    f.player.advance(); // the original shows its second frame
    DisplayObject* copy = f.player.duplicateByScript(clip, "copy", kFirstScriptDepth);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(f.player.root().childAtDepth(kFirstScriptDepth), copy);
    EXPECT_EQ(copy->character(), clip.character());
    EXPECT_EQ(copy->name, "copy");
    EXPECT_TRUE(copy->placedByScript);
    EXPECT_DOUBLE_EQ(copy->matrix.tx, 10);
    EXPECT_FLOAT_EQ(copy->colorTransform.ar, 40);
    EXPECT_EQ(copy->ratio, 7);
    EXPECT_EQ(copy->clipDepth, 3);
    EXPECT_EQ(copy->currentFrame, 0);
    ASSERT_NE(copy->childAtDepth(1), nullptr);
    EXPECT_DOUBLE_EQ(copy->childAtDepth(1)->matrix.tx, 0);
    // Onto the original's own depth: the copy replaces it.
    const DisplayObjectHandle original = clip.handle();
    DisplayObject* over = f.player.duplicateByScript(*copy, "over", 1);
    ASSERT_NE(over, nullptr);
    EXPECT_EQ(f.player.find(original), nullptr);
    EXPECT_EQ(f.player.root().childAtDepth(1), over);
    EXPECT_EQ(f.player.duplicateByScript(f.player.root(), "root", 5), nullptr);
}

TEST(TimelinePlayer, EmptyClipsHoldScriptPlacementsAndStayWithinTheNestingBound) {
    Fixture f;
    DisplayObject* empty = f.player.createEmptyClip(f.player.root(), "holder", kFirstScriptDepth);
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->isClip());
    EXPECT_FALSE(empty->isRoot());
    EXPECT_EQ(empty->timeline()->frameCount(), 1);
    EXPECT_EQ(empty->name, "holder");
    EXPECT_TRUE(empty->placedByScript);
    EXPECT_NE(f.player.placeByScript(*empty, 1, 0), nullptr);
    DisplayObject* copy = f.player.duplicateByScript(*empty, "copy", kFirstScriptDepth + 1);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->children().empty()); // a copy starts from the timeline, not the children
    f.player.advance();
    f.player.gotoFrame(0);
    EXPECT_EQ(f.player.root().childAtDepth(kFirstScriptDepth), empty);
    DisplayObject* parent = &f.player.root();
    int depth = 0;
    while (DisplayObject* next = f.player.createEmptyClip(*parent, "n", 0)) {
        parent = next;
        ASSERT_LT(++depth, 1000);
    }
    EXPECT_GT(depth, 10);
    EXPECT_EQ(f.player.createEmptyClip(*f.clip().childAtDepth(1), "inside a shape", 0), nullptr);
}

TEST(TimelinePlayer, ScriptOperationsRefuseAnotherPlayersObjects) {
    Fixture f, other;
    EXPECT_FALSE(f.player.removeByScript(other.clip()));
    EXPECT_FALSE(f.player.swapDepths(other.clip(), 5));
    EXPECT_EQ(f.player.duplicateByScript(other.clip(), "x", 5), nullptr);
    EXPECT_EQ(f.player.createEmptyClip(other.clip(), "x", 5), nullptr);
    EXPECT_NE(other.player.root().childAtDepth(1), nullptr);
}

} // namespace
} // namespace swivio::swf
