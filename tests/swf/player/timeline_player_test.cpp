#include "swf/player/timeline_player.h"

#include <gtest/gtest.h>

#include "tests/swf/player/player_test_movies.h"

namespace swivio::swf {
namespace {

using namespace testkit;
using test::defineSquares;
using test::definitionOf;

// Depth -> character id of the root's children.
std::map<int, uint16_t> displayList(const DisplayObject& clip) {
    std::map<int, uint16_t> list;
    for (const auto& [depth, child] : clip.children())
        list[depth] = child->characterId();
    return list;
}

// Frame 0 places 1 at depth 1; frame 1 places 2 at depth 2; frame 2 removes depth 1;
// frame 3 moves depth 2 to x = 500.
SwfWriter fourFrameMovie() {
    SwfWriter w;
    w.frameCount = 4;
    defineSquares(w);
    place(w, Place().at(1).of(1)).showFrame();
    place(w, Place().at(2).of(2)).showFrame();
    w.tag(TagCode::RemoveObject2, removeObject2(1)).showFrame();
    place(w, Place().at(2).moving().translate(500, 0)).showFrame().end();
    return w;
}

TEST(TimelinePlayer, SeeksForwardAndBackwardGiveEachFramesDisplayList) {
    TimelinePlayer player(definitionOf(fourFrameMovie()));
    using List = std::map<int, uint16_t>;
    EXPECT_EQ(displayList(player.root()), (List{{1, 1}}));
    player.gotoFrame(3);
    EXPECT_EQ(player.currentFrame(), 3);
    EXPECT_EQ(displayList(player.root()), (List{{2, 2}}));
    EXPECT_DOUBLE_EQ(player.root().childAtDepth(2)->matrix.tx, 500);
    const DisplayObject* second = player.root().childAtDepth(2);

    player.gotoFrame(1);
    EXPECT_EQ(displayList(player.root()), (List{{1, 1}, {2, 2}}));
    // The object placed at frame 1 is the same instance, with frame 1's matrix again.
    EXPECT_EQ(player.root().childAtDepth(2), second);
    EXPECT_DOUBLE_EQ(player.root().childAtDepth(2)->matrix.tx, 0);

    player.gotoFrame(0);
    EXPECT_EQ(displayList(player.root()), (List{{1, 1}}));
    player.gotoFrame(2);
    EXPECT_EQ(displayList(player.root()), (List{{2, 2}}));
    // Out of range seeks are clamped.
    player.gotoFrame(99);
    EXPECT_EQ(player.currentFrame(), 3);
    player.gotoFrame(-5);
    EXPECT_EQ(player.currentFrame(), 0);
}

TEST(TimelinePlayer, PlayingLoopsTheRootAndStoppingHoldsIt) {
    TimelinePlayer player(definitionOf(fourFrameMovie()));
    for (int tick = 1; tick <= 9; ++tick) {
        player.advance();
        EXPECT_EQ(player.currentFrame(), tick % 4);
    }
    EXPECT_EQ(displayList(player.root()), (std::map<int, uint16_t>{{1, 1}, {2, 2}}));
    player.stop();
    player.advance();
    EXPECT_EQ(player.currentFrame(), 1);
    EXPECT_FALSE(player.isPlaying());
}

// A sprite (id 10) of 5 frames whose frame k places square 1 at x = 100 k; the root has 6
// frames, placing the sprite at depth 1 in frame 0 and a second one at depth 2 in frame 3.
SwfWriter spriteMovie() {
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1)).showFrame();
    for (int k = 1; k < 5; ++k)
        sprite.place(Place().at(1).moving().translate(100 * k, 0)).showFrame();
    SwfWriter w;
    w.frameCount = 6;
    defineSquares(w);
    w.tag(TagCode::DefineSprite, sprite.defineSprite(10));
    place(w, Place().at(1).of(10)).showFrame();
    w.showFrame().showFrame();
    place(w, Place().at(2).of(10)).showFrame();
    w.showFrame().showFrame().end();
    return w;
}

TEST(TimelinePlayer, SpritesShowTheirFirstFrameAtOnceThenAdvanceEachTickAndLoop) {
    TimelinePlayer player(definitionOf(spriteMovie()));
    DisplayObject* first = player.root().childAtDepth(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->currentFrame, 0);
    EXPECT_DOUBLE_EQ(first->childAtDepth(1)->matrix.tx, 0);
    for (int i = 0; i < 3; ++i)
        player.advance();
    EXPECT_EQ(player.currentFrame(), 3);
    EXPECT_EQ(first->currentFrame, 3);
    EXPECT_DOUBLE_EQ(first->childAtDepth(1)->matrix.tx, 300);
    // Placed during this tick: first frame.
    ASSERT_NE(player.root().childAtDepth(2), nullptr);
    EXPECT_EQ(player.root().childAtDepth(2)->currentFrame, 0);
    player.advance();
    player.advance();
    EXPECT_EQ(first->currentFrame, 0); // looped after its fifth frame
    EXPECT_DOUBLE_EQ(first->childAtDepth(1)->matrix.tx, 0);
    EXPECT_EQ(player.root().childAtDepth(2)->currentFrame, 2);
}

TEST(TimelinePlayer, SeekingTheRootLeavesClipsThatStayOnTheirOwnFrames) {
    TimelinePlayer player(definitionOf(spriteMovie()));
    player.advance();
    player.advance();
    DisplayObject* first = player.root().childAtDepth(1);
    ASSERT_EQ(first->currentFrame, 2);
    player.gotoFrame(5); // forward: the clip stays and does not advance
    EXPECT_EQ(player.root().childAtDepth(1), first);
    EXPECT_EQ(first->currentFrame, 2);
    // The clip placed in a skipped frame shows its first frame.
    EXPECT_EQ(player.root().childAtDepth(2)->currentFrame, 0);
    player.gotoFrame(0); // backward: depth 1 was placed at frame 0 and stays
    EXPECT_EQ(player.root().childAtDepth(1), first);
    EXPECT_EQ(first->currentFrame, 2);
    EXPECT_EQ(player.root().childAtDepth(2), nullptr);
}

TEST(TimelinePlayer, PlaceObject2MoveReplaceAndPlaceSemantics) {
    SwfWriter w;
    w.frameCount = 5;
    defineSquares(w);
    Place first = Place().at(1).of(1).translate(40, 50);
    first.name = "box";
    place(w, first).showFrame();
    // Replace: new character, other properties kept.
    place(w, Place().at(1).of(2).moving()).showFrame();
    // Move: only the matrix changes.
    place(w, Place().at(1).moving().scale(2, 3)).showFrame();
    // Move at an empty depth does nothing; a place at an occupied depth replaces the object.
    place(w, Place().at(7).moving().translate(1, 1));
    place(w, Place().at(1).of(3)).showFrame();
    w.showFrame().end();
    TimelinePlayer player(definitionOf(w));
    const DisplayObject* box = player.root().childAtDepth(1);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(player.root().childByName("box"), box);

    player.advance();
    ASSERT_EQ(player.root().childAtDepth(1), box);
    EXPECT_EQ(box->characterId(), 2);
    EXPECT_DOUBLE_EQ(box->matrix.tx, 40);
    EXPECT_EQ(box->name, "box");

    player.advance();
    EXPECT_DOUBLE_EQ(box->matrix.a, 2);
    EXPECT_DOUBLE_EQ(box->matrix.d, 3);
    EXPECT_DOUBLE_EQ(box->matrix.tx, 0); // a new matrix replaces the whole matrix
    EXPECT_EQ(box->characterId(), 2);

    player.advance();
    EXPECT_EQ(player.root().childAtDepth(7), nullptr);
    const DisplayObject* replaced = player.root().childAtDepth(1);
    EXPECT_EQ(replaced->characterId(), 3);
    EXPECT_EQ(replaced->name, "");
    EXPECT_DOUBLE_EQ(replaced->matrix.a, 1);
}

TEST(TimelinePlayer, BackgroundIsWhiteUntilSetAndFollowsSeeks) {
    SwfWriter w;
    w.frameCount = 3;
    w.showFrame();
    w.backgroundColor(10, 20, 30).showFrame();
    w.backgroundColor(40, 50, 60).showFrame().end();
    TimelinePlayer player(definitionOf(w));
    EXPECT_EQ(player.backgroundColor(), (Rgba{255, 255, 255, 255}));
    player.gotoFrame(2);
    EXPECT_EQ(player.backgroundColor(), (Rgba{40, 50, 60, 255}));
    player.gotoFrame(1);
    EXPECT_EQ(player.backgroundColor(), (Rgba{10, 20, 30, 255}));
}

class RecordingSoundHook : public SoundHook {
public:
    void frameSounds(const DisplayObject& clip, int frame,
                     std::span<const TagRecord> tags) override {
        calls.push_back({clip.isRoot(), frame, tags.size()});
    }
    struct Call {
        bool root;
        int frame;
        std::size_t tags;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
};

TEST(TimelinePlayer, SoundTagsReachTheHookForFramesPlayedButNotForSeeks) {
    SwfWriter w;
    w.frameCount = 3;
    w.tag(15, {1, 0, 0}).showFrame(); // StartSound of sound 1
    w.showFrame();
    w.tag(15, {1, 0, 0}).tag(15, {2, 0, 0}).showFrame().end();
    RecordingSoundHook hook;
    TimelinePlayer player(definitionOf(w), &hook);
    using Call = RecordingSoundHook::Call;
    EXPECT_EQ(hook.calls, (std::vector<Call>{{true, 0, 1}}));
    player.advance();
    player.advance();
    EXPECT_EQ(hook.calls, (std::vector<Call>{{true, 0, 1}, {true, 2, 2}}));
    player.gotoFrame(1);
    player.gotoFrame(2);
    EXPECT_EQ(hook.calls.size(), 2u);
}

TEST(TimelinePlayer, ClipsThatPlaceThemselvesAreBounded) {
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(10)).place(Place().at(2).of(10)).showFrame();
    SwfWriter w;
    w.tag(TagCode::DefineSprite, sprite.defineSprite(10));
    place(w, Place().at(1).of(10)).showFrame().end();
    TimelinePlayer player(definitionOf(w));
    player.advance();
    int nesting = 0;
    for (const DisplayObject* o = &player.root(); o; o = o->childAtDepth(1))
        ++nesting;
    EXPECT_GT(nesting, 2);
    EXPECT_LE(nesting, 64);
}

TEST(TimelinePlayer, ButtonsShowTheirUpState) {
    SwfBits button;
    button.u16(20).u8(0); // DefineButton2: id, flags
    button.u16(0);        // no actions
    button.u8(0x01).u16(1).u16(1).matrix().cxform(true, std::array{256, 256, 256, 256}.data(),
                                                  std::array{0, 0, 0, 0}.data());
    button.u8(0x02 | 0x04)
        .u16(2)
        .u16(2)
        .matrix()
        .cxform(true, std::array{256, 256, 256, 256}.data(), std::array{0, 0, 0, 0}.data());
    button.u8(0);
    SwfWriter w;
    defineSquares(w);
    w.tag(TagCode::DefineButton2, button.data());
    place(w, Place().at(1).of(20)).showFrame().end();
    TimelinePlayer player(definitionOf(w));
    const DisplayObject* b = player.root().childAtDepth(1);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(displayList(*b), (std::map<int, uint16_t>{{1, 1}}));
}

} // namespace
} // namespace swivio::swf
