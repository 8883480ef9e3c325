#include "swf/format/movie_definition.h"

#include <gtest/gtest.h>

#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"

namespace swivio::swf {
namespace {

using namespace testkit;

std::shared_ptr<const MovieDefinition> read(const SwfWriter& w) {
    auto definition = readMovieDefinition(w.build());
    EXPECT_TRUE(definition.ok()) << definition.message();
    return definition.ok() ? *definition : nullptr;
}

TEST(MovieDefinition, FramesHoldTheirDisplayTagsInOrder) {
    SwfWriter w;
    w.frameCount = 2;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
    place(w, Place().at(1).of(1).translate(40, 60));
    w.tag(TagCode::FrameLabel, {'s', 't', 'a', 'r', 't', 0});
    w.showFrame();
    w.tag(TagCode::RemoveObject2, removeObject2(1));
    w.tag(kPlaceObjectCode, placeObject1(1, 3, -20, 20));
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    ASSERT_EQ(movie->root.frameCount(), 2);
    const TimelineFrame& first = movie->root.frames[0];
    EXPECT_EQ(first.label, "start");
    ASSERT_EQ(first.displayTags.size(), 1u);
    EXPECT_EQ(first.displayTags[0].place.depth, 1);
    EXPECT_DOUBLE_EQ(first.displayTags[0].place.matrix->tx, 40);
    const TimelineFrame& second = movie->root.frames[1];
    ASSERT_EQ(second.displayTags.size(), 2u);
    EXPECT_EQ(second.displayTags[0].kind, DisplayTag::Kind::Remove);
    EXPECT_EQ(second.displayTags[1].place.depth, 3);
    EXPECT_EQ(second.displayTags[1].place.characterId, 1);
    EXPECT_FALSE(second.displayTags[1].place.move);
    ASSERT_NE(movie->character(1), nullptr);
    EXPECT_EQ(movie->character(1)->type, CharacterType::Shape);
}

TEST(MovieDefinition, DamagedTagsAreSkippedWithTheirCodeAndOffset) {
    SwfWriter w;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
    // A PlaceObject2 that announces a matrix but ends before it.
    w.tag(TagCode::PlaceObject2, {0x06, 1, 0});
    w.tag(TagCode::DefineShape3, {7, 0, 0x50}); // shape 7 cut inside its bounds
    place(w, Place().at(2).of(1));
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    ASSERT_EQ(movie->warnings.size(), 2u);
    EXPECT_EQ(movie->warnings[0].rfind("tag 26 at offset ", 0), 0u) << movie->warnings[0];
    EXPECT_EQ(movie->warnings[1].rfind("tag 32 at offset ", 0), 0u) << movie->warnings[1];
    EXPECT_EQ(movie->character(7), nullptr);
    ASSERT_EQ(movie->root.frames[0].displayTags.size(), 1u);
    EXPECT_EQ(movie->root.frames[0].displayTags[0].place.depth, 2);
}

TEST(MovieDefinition, TagRunningPastTheEndStopsReadingThere) {
    SwfWriter w;
    w.showFrame();
    w.tag(TagCode::SetBackgroundColor, {1, 2, 3});
    w.showFrame();
    std::vector<uint8_t> bytes = w.build();
    // A long tag header claiming 1000 bytes with only 3 behind it.
    const std::vector<uint8_t> bad = SwfWriter::tagRecord(9, {1, 2, 3}, true);
    bytes.insert(bytes.end(), bad.begin(), bad.end());
    bytes[7] = 0; // fix the declared length below
    const uint32_t length = uint32_t(bytes.size());
    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = uint8_t(length >> (8 * i));
    bytes[bytes.size() - 7] = 0xE8; // length 1000 little-endian
    bytes[bytes.size() - 6] = 0x03;
    auto definition = readMovieDefinition(bytes);
    ASSERT_TRUE(definition.ok());
    const auto& movie = **definition;
    EXPECT_EQ(movie.root.frameCount(), 2);
    ASSERT_EQ(movie.warnings.size(), 1u);
    EXPECT_NE(movie.warnings[0].find("tag 9 at offset"), std::string::npos);
    EXPECT_NE(movie.warnings[0].find("runs past the end"), std::string::npos);
}

TEST(MovieDefinition, FirstDefinitionOfAnIdWins) {
    SwfWriter w;
    w.tag(TagCode::DefineShape3, rectangleShape(5, 0, 0, 100, 100, 255, 0, 0));
    w.tag(TagCode::DefineShape3, rectangleShape(5, 0, 0, 100, 100, 0, 255, 0));
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    ASSERT_NE(movie->character(5), nullptr);
    EXPECT_EQ(movie->character(5)->shape->groups[0].fills[0].color, (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(movie->warnings.size(), 1u);
}

TEST(MovieDefinition, SpritesHaveTimelinesOfTheirOwn) {
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1)).showFrame();
    sprite.place(Place().at(1).moving().translate(100, 0)).showFrame();
    sprite.remove(1).showFrame();
    SwfWriter w;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
    w.tag(TagCode::DefineSprite, sprite.defineSprite(2));
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    const Character* c = movie->character(2);
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(c->sprite);
    EXPECT_EQ(c->sprite->timeline.frameCount(), 3);
    EXPECT_EQ(c->sprite->timeline.declaredFrameCount, 3);
    EXPECT_TRUE(c->sprite->timeline.frames[1].displayTags[0].place.move);
    EXPECT_EQ(movie->root.frameCount(), 1);
}

TEST(MovieDefinition, TrailingTagsMakeAFrameOnlyWhenTheHeaderCountsIt) {
    for (int declared : {1, 2}) {
        SwfWriter w;
        w.frameCount = uint16_t(declared);
        w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
        w.showFrame();
        place(w, Place().at(1).of(1));
        w.end();
        auto movie = read(w);
        ASSERT_TRUE(movie);
        EXPECT_EQ(movie->root.frameCount(), declared);
    }
    SwfWriter empty;
    empty.end();
    auto movie = read(empty);
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->root.frameCount(), 1);
}

TEST(MovieDefinition, PlaceObject3CarriesBlendFiltersAndVisibility) {
    Place p = Place().at(4).of(1);
    p.blendMode = 3;
    p.filterList = blurFilterList(2, 3);
    p.visible = false;
    p.cacheAsBitmap = true;
    p.name = "clip";
    p.clipDepth = 9;
    p.ratio = 300;
    p.colorTransform({256, 128, 256, 256}, {0, 0, 10, 0});
    SwfWriter w;
    w.tag(TagCode::PlaceObject3, placeObject3(p));
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    const PlaceObject& place = movie->root.frames[0].displayTags.at(0).place;
    EXPECT_EQ(place.depth, 4);
    EXPECT_EQ(place.blendMode, BlendMode::Multiply);
    ASSERT_TRUE(place.filters);
    ASSERT_EQ(place.filters->size(), 1u);
    EXPECT_FLOAT_EQ((*place.filters)[0].blurY, 3.0f);
    EXPECT_EQ(place.visible, false);
    EXPECT_EQ(place.cacheAsBitmap, true);
    EXPECT_EQ(place.name, "clip");
    EXPECT_EQ(place.clipDepth, 9);
    EXPECT_EQ(place.ratio, 300);
    EXPECT_FLOAT_EQ(place.colorTransform->mg, 0.5f);
    EXPECT_FLOAT_EQ(place.colorTransform->ab, 10);
}

TEST(MovieDefinition, ButtonsKeepTheirStatesAndDefineButtonCxformApplies) {
    // DefineButton: one record for the up state, one for over; then actions (just End).
    SwfBits button;
    button.u16(3);
    button.u8(0x01).u16(1).u16(2).matrix(1, 1, 0, 0, 100, 0);
    button.u8(0x02).u16(1).u16(3).matrix();
    button.u8(0).u8(0);
    SwfBits cxform;
    const int mult[4] = {256, 256, 256, 256}, add[4] = {50, 0, 0, 0};
    cxform.u16(3).cxform(false, mult, add);
    SwfWriter w;
    w.tag(TagCode::DefineShape3, rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
    w.tag(TagCode::DefineButton, button.data());
    w.tag(23, cxform.data());
    w.showFrame().end();
    auto movie = read(w);
    ASSERT_TRUE(movie);
    const Character* c = movie->character(3);
    ASSERT_TRUE(c && c->button);
    ASSERT_EQ(c->button->records.size(), 2u);
    EXPECT_TRUE(c->button->records[0].up);
    EXPECT_FALSE(c->button->records[1].up);
    EXPECT_EQ(c->button->records[0].depth, 2);
    EXPECT_DOUBLE_EQ(c->button->records[0].matrix.tx, 100);
    EXPECT_FLOAT_EQ(c->button->records[0].colorTransform.ar, 50);
}

} // namespace
} // namespace swivio::swf
