#include "swf/player/render_emitter.h"

#include <gtest/gtest.h>

#include "swf/player/bitmap_library.h"
#include "swf/player/timeline_player.h"
#include "tests/swf/player/player_test_movies.h"

namespace swivio::swf {
namespace {

using namespace testkit;
using test::defineSquares;
using test::definitionOf;
using Kind = RenderCommand::Kind;

// Plays a movie and gives the commands of its frame after the given ticks.
class Emitted {
public:
    explicit Emitted(const SwfWriter& w, int ticks = 0)
        : m_movie(definitionOf(w)), m_bitmaps(m_movie), m_player(m_movie),
          m_emitter(m_movie, m_bitmaps) {
        for (int i = 0; i < ticks; ++i)
            m_player.advance();
        m_emitter.emit(m_player.root(), commands);
    }
    TimelinePlayer& player() { return m_player; }
    void emitAgain() { m_emitter.emit(m_player.root(), commands); }

    // A compact picture of the list: D<red component of the first fill> for shapes,
    // M / B / P for masks, L / l for layers.
    std::string outline() const {
        std::string s;
        for (const RenderCommand& c : commands) {
            switch (c.kind) {
            case Kind::DrawShape:
                s += "D" + std::to_string(c.shape->groups[0].fills.empty()
                                              ? -1
                                              : c.shape->groups[0].fills[0].color.g);
                break;
            case Kind::PushMask:
                s += "M";
                break;
            case Kind::BeginMasked:
                s += "B";
                break;
            case Kind::PopMask:
                s += "P";
                break;
            case Kind::PushLayer:
                s += "L";
                break;
            case Kind::PopLayer:
                s += "l";
                break;
            }
            s += " ";
        }
        return s;
    }

    RenderCommandList commands;

private:
    std::shared_ptr<const MovieDefinition> m_movie;
    BitmapLibrary m_bitmaps;
    TimelinePlayer m_player;
    RenderEmitter m_emitter;
};

// Squares whose green component tells them apart.
void defineNumbered(SwfWriter& w, int count) {
    for (int i = 1; i <= count; ++i)
        w.tag(TagCode::DefineShape3, rectangleShape(uint16_t(i), 0, 0, 100, 100, 0, uint8_t(i), 0));
}

TEST(RenderEmitter, ClipDepthMasksTheDepthsUpToItOnly) {
    SwfWriter w;
    defineNumbered(w, 4);
    Place mask = Place().at(1).of(1);
    mask.clipDepth = 3;
    place(w, mask);
    place(w, Place().at(2).of(2));
    place(w, Place().at(3).of(3));
    place(w, Place().at(4).of(4)).showFrame().end();
    Emitted e(w);
    EXPECT_EQ(e.outline(), "M D1 B D2 D3 P D4 ");
}

TEST(RenderEmitter, MasksNestAndStayInsideTheirClip) {
    // Inside the sprite: a mask at 1 over 2..5, another at 2 over 3..10 (cut back to 5).
    SpriteBuilder sprite;
    Place outer = Place().at(1).of(1);
    outer.clipDepth = 5;
    Place inner = Place().at(2).of(2);
    inner.clipDepth = 10;
    sprite.place(outer).place(inner).place(Place().at(3).of(3)).place(Place().at(6).of(4));
    sprite.showFrame();
    SwfWriter w;
    defineNumbered(w, 5);
    w.tag(TagCode::DefineSprite, sprite.defineSprite(20));
    place(w, Place().at(1).of(20));
    place(w, Place().at(2).of(5)).showFrame().end();
    Emitted e(w);
    EXPECT_EQ(e.outline(), "M D1 B M D2 B D3 P P D4 D5 ");
}

TEST(RenderEmitter, MaskContentIsCoverageOnly) {
    // The mask is a sprite holding a layered, blended shape and an invisible one; as a mask
    // it draws shapes only.
    SpriteBuilder sprite;
    Place blended = Place().at(1).of(1);
    blended.blendMode = 3;
    sprite.tag(TagCode::PlaceObject3, placeObject3(blended)).showFrame();
    SwfWriter w;
    defineNumbered(w, 2);
    w.tag(TagCode::DefineSprite, sprite.defineSprite(20));
    Place mask = Place().at(1).of(20);
    mask.clipDepth = 2;
    place(w, mask);
    place(w, Place().at(2).of(2)).showFrame().end();
    Emitted e(w);
    EXPECT_EQ(e.outline(), "M D1 B D2 P ");
}

TEST(RenderEmitter, BlendModesAndFiltersMakeLayersAndInvisibleObjectsAreLeftOut) {
    SwfWriter w;
    defineNumbered(w, 4);
    Place multiply = Place().at(1).of(1);
    multiply.blendMode = 3;
    Place blurred = Place().at(2).of(2);
    blurred.filterList = blurFilterList(4, 4);
    Place hidden = Place().at(3).of(3);
    hidden.visible = false;
    Place normal = Place().at(4).of(4);
    normal.blendMode = 1;
    w.tag(TagCode::PlaceObject3, placeObject3(multiply));
    w.tag(TagCode::PlaceObject3, placeObject3(blurred));
    w.tag(TagCode::PlaceObject3, placeObject3(hidden));
    w.tag(TagCode::PlaceObject3, placeObject3(normal)).showFrame().end();
    Emitted e(w);
    EXPECT_EQ(e.outline(), "L D1 l L D2 l D4 ");
    EXPECT_EQ(e.commands[0].blendMode, BlendMode::Multiply);
    ASSERT_EQ(e.commands[3].filters.size(), 1u);
    EXPECT_EQ(e.commands[3].filters[0].type, Filter::Type::Blur);
}

TEST(RenderEmitter, MatricesAndColourTransformsApplyChildFirst) {
    SpriteBuilder sprite;
    sprite.place(
        Place().at(1).of(1).translate(10, 5).colorTransform({256, 256, 256, 256}, {100, 0, 0, 0}));
    sprite.showFrame();
    SwfWriter w;
    defineSquares(w);
    w.tag(TagCode::DefineSprite, sprite.defineSprite(20));
    place(w, Place()
                 .at(1)
                 .of(20)
                 .scale(2, 3)
                 .translate(1000, 2000)
                 .colorTransform({128, 256, 256, 256}, {0, 0, 0, 0}));
    w.showFrame().end();
    Emitted e(w);
    ASSERT_EQ(e.commands.size(), 1u);
    const RenderCommand& c = e.commands[0];
    EXPECT_DOUBLE_EQ(c.matrix.a, 2);
    EXPECT_DOUBLE_EQ(c.matrix.d, 3);
    EXPECT_DOUBLE_EQ(c.matrix.tx, 1000 + 2 * 10);
    EXPECT_DOUBLE_EQ(c.matrix.ty, 2000 + 3 * 5);
    // The child's addition comes first, then the parent's multiplier: (100 + 100) * 0.5.
    const Rgba shown = c.colorTransform.apply(Rgba{100, 0, 0, 255});
    EXPECT_EQ(shown.r, 100); // (100 + 100) * 0.5
}

TEST(RenderEmitter, OpaqueBackgroundFillsTheBoundsAndScrollRectShowsItsWindowOnly) {
    SpriteBuilder sprite;
    sprite.place(Place().at(1).of(1).translate(10, 5));
    sprite.showFrame();
    SwfWriter w;
    defineSquares(w);
    w.tag(TagCode::DefineSprite, sprite.defineSprite(20));
    place(w, Place().at(1).of(20).scale(2, 2).translate(1000, 0));
    w.showFrame().end();
    Emitted e(w);
    DisplayObject& clip = *e.player().root().children().begin()->second;

    // The box lies behind the content, over the square's own bounds, in the clip's space.
    clip.opaqueBackground = 0x00C800;
    e.emitAgain();
    EXPECT_EQ(e.outline(), "D200 D0 ");
    EXPECT_EQ(e.commands[0].shape->bounds, (Rect{10, 110, 5, 105}));
    EXPECT_EQ(e.commands[0].matrix, (e.commands[1].matrix * Matrix{1, 0, 0, 1, -10, -5}));

    // The window (20, 30)-(60, 50) masks the content, moved so its corner is the origin;
    // the background then covers the window.
    clip.scrollRect = Rect{20, 60, 30, 50};
    e.emitAgain();
    EXPECT_EQ(e.outline(), "D200 M D255 B D0 P ");
    EXPECT_EQ(e.commands[0].shape->bounds, (Rect{0, 40, 0, 20}));
    EXPECT_DOUBLE_EQ(e.commands[4].matrix.tx, 1000 + 2 * (10 - 20));
    EXPECT_DOUBLE_EQ(e.commands[4].matrix.ty, 2 * (5 - 30));

    clip.scrollRect = Rect{20, 20, 30, 50}; // an empty window shows nothing
    e.emitAgain();
    EXPECT_EQ(e.outline(), "");
}

TEST(RenderEmitter, TextBecomesGlyphShapesWithTheRecordColours) {
    ShapeBuilder glyph(1);
    glyph.styles(0, 1).rectangle(0, -1024, 512, 0);
    SwfWriter w;
    w.tag(TagCode::DefineFont, defineFont1(1, {glyph.glyphShape(), glyph.glyphShape()}));
    TextLine line;
    line.height = 400;
    line.r = 200;
    line.g = 100;
    line.b = 50;
    line.a = 128;
    line.x = 100;
    line.y = 1000;
    line.glyphs = {{1, 300}, {1, 300}};
    w.tag(TagCode::DefineText2, defineText2(2, 0, 1000, 0, 1000, {line}));
    place(w, Place().at(1).of(2).translate(20, 0)).showFrame().end();
    Emitted e(w);
    ASSERT_EQ(e.commands.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const RenderCommand& c = e.commands[i];
        EXPECT_EQ(c.kind, Kind::DrawShape);
        EXPECT_EQ(c.colorTransform.apply(c.shape->groups[0].fills.at(0).color),
                  (Rgba{200, 100, 50, 128}));
        // 400 twips high: the 1024-unit glyph scales by 400 / 1024.
        EXPECT_NEAR(c.matrix.a, 400.0 / 1024.0, 1e-9);
        EXPECT_NEAR(c.matrix.tx, 20 + 100 + 300.0 * double(i), 1e-9);
        EXPECT_NEAR(c.matrix.ty, 1000, 1e-9);
    }
    // The same glyph twice is one shape, cached per font and glyph for later frames too.
    EXPECT_EQ(e.commands[0].shape, e.commands[1].shape);
    const auto cached = e.commands[0].shape;
    e.emitAgain();
    EXPECT_EQ(e.commands[0].shape, cached);
}

TEST(RenderEmitter, MorphShapesFollowTheRatioAndAreCachedWhileItHolds) {
    // DefineMorphShape: a square growing from 100 to 300 twips, red to blue.
    ShapeBuilder start(1), end(1);
    start.styles(0, 1).rectangle(0, 0, 100, 100);
    end.moveTo(0, 0).lineTo(300, 0).lineTo(300, 300).lineTo(0, 300).lineTo(0, 0);
    const std::vector<uint8_t> startEdges = start.glyphShape();
    const std::vector<uint8_t> endEdges = end.glyphShape();
    SwfBits m;
    m.u16(5).rect(0, 100, 0, 100).rect(0, 300, 0, 300);
    SwfBits styles;
    styles.u8(1).u8(0x00).u8(255).u8(0).u8(0).u8(255).u8(0).u8(0).u8(255).u8(255);
    styles.u8(0); // no line styles
    const std::vector<uint8_t> stylesBytes = styles.data();
    m.u32(uint32_t(stylesBytes.size() + startEdges.size()));
    m.bytes(stylesBytes).bytes(startEdges).bytes(endEdges);
    SwfWriter w;
    w.frameCount = 2;
    w.tag(TagCode::DefineMorphShape, m.data());
    Place p = Place().at(1).of(5);
    p.ratio = 0;
    place(w, p).showFrame();
    Place half = Place().at(1).moving();
    half.ratio = 32768;
    place(w, half).showFrame().end();

    Emitted e(w);
    ASSERT_EQ(e.commands.size(), 1u);
    auto atStart = e.commands[0].shape;
    EXPECT_EQ(atStart->groups.at(0).edges.at(0).x1, 100);
    e.emitAgain();
    EXPECT_EQ(e.commands[0].shape, atStart);
    e.player().advance();
    e.emitAgain();
    ASSERT_EQ(e.commands.size(), 1u);
    EXPECT_NEAR(e.commands[0].shape->groups.at(0).edges.at(0).x1, 200, 1);
    const Rgba mid = e.commands[0].shape->groups[0].fills.at(0).color;
    EXPECT_NEAR(mid.r, 128, 1);
    EXPECT_NEAR(mid.b, 128, 1);
}

} // namespace
} // namespace swivio::swf
