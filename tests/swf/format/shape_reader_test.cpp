#include "swf/format/shape_reader.h"

#include <gtest/gtest.h>

#include "swf/format/records.h"
#include "tests/support/swf_shapes.h"

namespace swivio::swf {
namespace {

using testkit::ShapeBuilder;

// The DefineShape body without its id, as parseDefineShape takes it.
Result<Shape> parse(const ShapeBuilder& builder, int32_t size = 2000) {
    std::vector<uint8_t> body = builder.defineShape(1, 0, size, 0, size);
    ByteReader in(std::span<const uint8_t>(body).subspan(2));
    return parseDefineShape(builder.tagCode(), in);
}

TEST(ShapeReader, ClockwiseSquareBecomesConnectedAbsoluteEdgesWithFillOne) {
    ShapeBuilder b(3);
    const int fill = b.solidFill(10, 20, 30, 40);
    b.styles(0, fill).rectangle(100, 200, 1100, 1200);
    auto shape = parse(b);
    ASSERT_TRUE(shape.ok()) << shape.message();
    ASSERT_EQ(shape->groups.size(), 1u);
    const StyleGroup& g = shape->groups[0];
    ASSERT_EQ(g.fills.size(), 1u);
    EXPECT_EQ(g.fills[0].color, (Rgba{10, 20, 30, 40}));
    ASSERT_EQ(g.edges.size(), 4u);
    const int32_t xs[] = {100, 1100, 1100, 100, 100}, ys[] = {200, 200, 1200, 1200, 200};
    for (std::size_t i = 0; i < 4; ++i) {
        const Edge& e = g.edges[i];
        EXPECT_EQ(e.x0, xs[i]);
        EXPECT_EQ(e.y0, ys[i]);
        EXPECT_EQ(e.x1, xs[i + 1]);
        EXPECT_EQ(e.y1, ys[i + 1]);
        EXPECT_FALSE(e.curved);
        EXPECT_EQ(e.fill0, 0);
        EXPECT_EQ(e.fill1, 1);
        EXPECT_EQ(e.line, 0);
    }
    EXPECT_EQ(shape->bounds, (Rect{0, 2000, 0, 2000}));
}

struct EdgeCase {
    const char* name;
    int32_t toX, toY; // end point from (300, 400)
    bool curve;
    int32_t cx, cy; // control point, curves only
};

class ShapeEdgeForms : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(ShapeEdgeForms, EndAndControlPointsAreAbsolute) {
    const EdgeCase& c = GetParam();
    ShapeBuilder b(2);
    b.lineStyle(20, 1, 2, 3);
    b.styles(-1, -1, 1).moveTo(300, 400);
    if (c.curve)
        b.curveTo(c.cx, c.cy, c.toX, c.toY);
    else
        b.lineTo(c.toX, c.toY);
    auto shape = parse(b);
    ASSERT_TRUE(shape.ok()) << shape.message();
    ASSERT_EQ(shape->groups[0].edges.size(), 1u);
    const Edge& e = shape->groups[0].edges[0];
    EXPECT_EQ(e.x0, 300);
    EXPECT_EQ(e.y0, 400);
    EXPECT_EQ(e.x1, c.toX);
    EXPECT_EQ(e.y1, c.toY);
    EXPECT_EQ(e.curved, c.curve);
    if (c.curve) {
        EXPECT_EQ(e.cx, c.cx);
        EXPECT_EQ(e.cy, c.cy);
    }
    EXPECT_EQ(e.line, 1);
}

INSTANTIATE_TEST_SUITE_P(Forms, ShapeEdgeForms,
                         ::testing::Values(EdgeCase{"horizontal", -5000, 400, false, 0, 0},
                                           EdgeCase{"vertical", 300, 9000, false, 0, 0},
                                           EdgeCase{"general", 301, -30000, false, 0, 0},
                                           EdgeCase{"curve", 1000, 1000, true, -200, 30000},
                                           EdgeCase{"tinyCurve", 301, 401, true, 300, 401}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ShapeReader, NewStylesStartAGroupWhoseIndicesReferToTheNewArrays) {
    ShapeBuilder b(2);
    const int red = b.solidFill(255, 0, 0);
    b.styles(0, red).rectangle(0, 0, 100, 100);
    b.newStyles();
    b.solidFill(0, 0, 255);
    const int green = b.solidFill(0, 255, 0);
    b.styles(green, 0).rectangle(50, 50, 150, 150);
    auto shape = parse(b);
    ASSERT_TRUE(shape.ok()) << shape.message();
    ASSERT_EQ(shape->groups.size(), 2u);
    EXPECT_EQ(shape->groups[0].edges.size(), 4u);
    ASSERT_EQ(shape->groups[1].fills.size(), 2u);
    ASSERT_EQ(shape->groups[1].edges.size(), 4u);
    // Opaque colours for DefineShape2, which stores RGB.
    EXPECT_EQ(shape->groups[1].fills[1].color, (Rgba{0, 255, 0, 255}));
    for (const Edge& e : shape->groups[1].edges) {
        EXPECT_EQ(e.fill0, 2);
        EXPECT_EQ(e.fill1, 0);
    }
    EXPECT_EQ(shape->groups[1].edges[0].x0, 50);
}

TEST(ShapeReader, IndicesPastTheStyleArraysAreDropped) {
    ShapeBuilder b(3);
    b.solidFill(1, 1, 1);
    b.solidFill(2, 2, 2);
    b.lineStyle(20, 1, 1, 1);
    b.lineStyle(20, 2, 2, 2);
    b.styles(3, 1, 3).rectangle(0, 0, 10, 10); // fill 3 and line 3 do not exist
    auto shape = parse(b);
    ASSERT_TRUE(shape.ok()) << shape.message();
    for (const Edge& e : shape->groups[0].edges) {
        EXPECT_EQ(e.fill0, 0);
        EXPECT_EQ(e.fill1, 1);
        EXPECT_EQ(e.line, 0);
    }
}

TEST(ShapeReader, EveryCutOfTheRecordsFailsCleanly) {
    ShapeBuilder b(3);
    const int fill = b.solidFill(1, 2, 3);
    b.lineStyle(40, 4, 5, 6);
    b.styles(0, fill, 1).rectangle(0, 0, 1000, 1000).curveTo(500, -500, 0, 0);
    const std::vector<uint8_t> body = b.defineShape(1, 0, 1000, 0, 1000);
    for (std::size_t cut = 2; cut < body.size(); ++cut) {
        ByteReader in(std::span<const uint8_t>(body).subspan(2, cut - 2));
        auto shape = parseDefineShape(32, in);
        EXPECT_FALSE(shape.ok()) << "cut at " << cut;
    }
}

TEST(ShapeReader, TooManyEdgesAreRefused) {
    ShapeBuilder b(3);
    b.styles(0, b.solidFill(1, 2, 3)).moveTo(0, 0);
    for (std::size_t i = 0; i <= kMaxShapeEdges; ++i)
        b.lineTo(i % 2 ? 0 : 20, 0);
    auto shape = parse(b);
    ASSERT_FALSE(shape.ok());
    EXPECT_NE(shape.message().find("too many edges"), std::string::npos);
}

TEST(ShapeReader, LineStyle2ReadsCapsJoinMiterAndFill) {
    // Width 60, start cap none, join miter, has fill; no close, end cap square.
    testkit::SwfBits s;
    s.u16(60);
    s.ub(2, 1).ub(2, 2).flag(true).flag(false).flag(true).flag(false).ub(5, 0).flag(true).ub(2, 2);
    s.fixed8(2.5);
    s.u8(0x00).u8(9).u8(8).u8(7).u8(6); // solid fill RGBA
    ByteReader in(s.data());
    LineStyle l = readLineStyle(in, 4);
    ASSERT_TRUE(in.ok());
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(l.width, 60);
    EXPECT_EQ(l.startCap, CapStyle::None);
    EXPECT_EQ(l.endCap, CapStyle::Square);
    EXPECT_EQ(l.join, JoinStyle::Miter);
    EXPECT_FLOAT_EQ(l.miterLimit, 2.5f);
    EXPECT_TRUE(l.hasFill);
    EXPECT_FALSE(l.noHScale);
    EXPECT_TRUE(l.noVScale);
    EXPECT_TRUE(l.noClose);
    EXPECT_EQ(l.fill.color, (Rgba{9, 8, 7, 6}));
}

TEST(ShapeReader, GradientFillsKeepTheirStopsAndMatrix) {
    ShapeBuilder b(3);
    const int g = b.gradientFill(
        true, {{0, 255, 0, 0, 255}, {128, 0, 255, 0, 128}, {255, 0, 0, 255, 0}}, 0.5, 400, -400);
    b.styles(0, g).rectangle(0, 0, 100, 100);
    auto shape = parse(b);
    ASSERT_TRUE(shape.ok()) << shape.message();
    const FillStyle& f = shape->groups[0].fills[0];
    EXPECT_EQ(f.type, FillType::RadialGradient);
    ASSERT_EQ(f.gradient.stops.size(), 3u);
    EXPECT_EQ(f.gradient.stops[1].ratio, 128);
    EXPECT_EQ(f.gradient.stops[1].color, (Rgba{0, 255, 0, 128}));
    EXPECT_DOUBLE_EQ(f.matrix.a, 0.5);
    EXPECT_DOUBLE_EQ(f.matrix.d, 0.5);
    EXPECT_DOUBLE_EQ(f.matrix.tx, 400);
    EXPECT_DOUBLE_EQ(f.matrix.ty, -400);
}

TEST(ShapeReader, ExtendedStyleCountsFromShape2On) {
    ShapeBuilder b(2);
    for (int i = 0; i < 300; ++i)
        b.solidFill(uint8_t(i), 0, 0);
    b.styles(0, 300).rectangle(0, 0, 10, 10);
    auto shape = parse(b);
    ASSERT_TRUE(shape.ok()) << shape.message();
    ASSERT_EQ(shape->groups[0].fills.size(), 300u);
    EXPECT_EQ(shape->groups[0].fills[299].color.r, uint8_t(299));
    EXPECT_EQ(shape->groups[0].edges[0].fill1, 300);
}

TEST(ShapeReader, UnknownFillTypeFails) {
    testkit::SwfBits s;
    s.u16(1).rect(0, 10, 0, 10);
    s.u8(1).u8(0x20).u8(0).u8(0); // one fill of type 0x20, no lines
    std::vector<uint8_t> body = s.data();
    ByteReader in(std::span<const uint8_t>(body).subspan(2));
    EXPECT_FALSE(parseDefineShape(22, in).ok());
}

TEST(ShapeReader, GlyphShapesKeepOneBitIndicesWithoutStyles) {
    ShapeBuilder b(1);
    b.styles(0, 1).rectangle(0, -1024, 512, 0);
    std::vector<uint8_t> glyph = b.glyphShape();
    ByteReader in(glyph);
    auto shape = readGlyphShape(in);
    ASSERT_TRUE(shape.ok()) << shape.message();
    ASSERT_EQ(shape->groups.size(), 1u);
    EXPECT_TRUE(shape->groups[0].fills.empty());
    ASSERT_EQ(shape->groups[0].edges.size(), 4u);
    EXPECT_EQ(shape->groups[0].edges[0].fill1, 1);
    EXPECT_EQ(shape->groups[0].edges[1].y1, 0);
    EXPECT_EQ(shape->groups[0].edges[2].y1, 0);
    EXPECT_EQ(shape->groups[0].edges[3].y1, -1024);
}

TEST(ShapeReader, Shape4WindingFlag) {
    testkit::SwfBits s;
    s.u16(1).rect(0, 10, 0, 10).rect(0, 10, 0, 10).u8(0x04);
    s.u8(0).u8(0).u8(0).u8(0); // no styles, 0 bits, end record
    std::vector<uint8_t> body = s.data();
    ByteReader in(std::span<const uint8_t>(body).subspan(2));
    auto shape = parseDefineShape(83, in);
    ASSERT_TRUE(shape.ok()) << shape.message();
    EXPECT_TRUE(shape->nonZeroWinding);
}

} // namespace
} // namespace swivio::swf
