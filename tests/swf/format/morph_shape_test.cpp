#include <vector>

#include <gtest/gtest.h>

#include "swf/format/morph_shape.h"
#include "tests/support/swf_writer.h"
#include "tests/swf/format/edge_record_writer.h"

namespace swivio::swf {
namespace {

using testkit::EdgeRecordWriter;
using testkit::SwfBits;

constexpr uint16_t kMorph1 = 46;
constexpr uint16_t kMorph2 = 84;

SwfBits& rgba(SwfBits& b, Rgba c) {
    return b.u8(c.r).u8(c.g).u8(c.b).u8(c.a);
}

// The parts of a DefineMorphShape body after the character id; build() joins them with the
// offset of the end edges computed.
struct MorphBody {
    bool version2 = false;
    SwfBits head;   // bounds (and DefineMorphShape2's edge bounds and flags)
    SwfBits styles; // fill and line style arrays, then the start edges
    SwfBits end;    // end edges
    int64_t offsetOverride = -1;

    std::vector<uint8_t> build() {
        std::vector<uint8_t> out = head.data();
        const std::vector<uint8_t>& s = styles.data();
        const uint32_t offset = offsetOverride >= 0 ? uint32_t(offsetOverride) : uint32_t(s.size());
        SwfBits o;
        o.u32(offset);
        out.insert(out.end(), o.data().begin(), o.data().end());
        out.insert(out.end(), s.begin(), s.end());
        out.insert(out.end(), end.data().begin(), end.data().end());
        return out;
    }
};

const Rgba kRed{255, 0, 0, 255};
const Rgba kBlueHalf{0, 0, 255, 128};

// A square of 1000 twips with a solid fill, a gradient fill and a bitmap fill, stroked by
// one line; it moves, grows and bends into a curve at the end.
MorphBody squareMorph() {
    MorphBody m;
    m.head.rect(0, 1000, 0, 1000).rect(200, 2200, 200, 2200);
    SwfBits& s = m.styles;
    s.u8(3);
    rgba(s.u8(0x00), kRed);
    rgba(s, kBlueHalf);
    s.u8(0x10).matrix(1, 1, 0, 0, 0, 0).matrix(3, 3, 0, 0, 400, -400);
    s.u8(0x42); // pad spread, two records
    rgba(s.u8(0), {0, 0, 0, 255});
    rgba(s.u8(100), {255, 255, 255, 255});
    rgba(s.u8(255), {200, 100, 0, 255});
    rgba(s.u8(155), {0, 100, 200, 55});
    s.u8(0x41).u16(7).matrix(20, 20, 0, 0, 0, 0).matrix(40, 40, 0, 0, 100, 100);
    s.u8(1).u16(20).u16(60);
    rgba(s, {0, 0, 0, 255});
    rgba(s, {255, 255, 255, 255});
    EdgeRecordWriter start(s, 2, 1);
    start.moveTo(0, 0, 0, 1, 1).lineBy(1000, 0).lineBy(0, 1000).lineBy(-1000, 0).lineBy(0, -1000);
    start.end();
    EdgeRecordWriter end(m.end, 0, 0);
    end.moveTo(200, 200).lineBy(2000, 0).curveBy(200, 1000, -200, 1000).lineBy(-2000, 0);
    end.lineBy(0, -2000);
    end.end();
    return m;
}

struct RatioCase {
    double ratio;
    int32_t x0, y0, x1;   // first edge
    int32_t cx, cy;       // second edge's control point (straight at the start)
    Rgba fill;            // solid fill colour
    uint16_t width;       // line width
    uint8_t stop1Ratio;   // gradient's second stop
    double gradientScale; // gradient matrix scale
    int32_t boundsXMax;
};

class MorphRatioTest : public ::testing::TestWithParam<RatioCase> {};

TEST_P(MorphRatioTest, InterpolatesGeometryColoursGradientsAndWidths) {
    const RatioCase& c = GetParam();
    MorphBody body = squareMorph();
    const std::vector<uint8_t> data = body.build();
    ByteReader reader(data);
    auto morph = parseDefineMorphShape(kMorph1, reader);
    ASSERT_TRUE(morph.ok()) << morph.message();
    const Shape shape = interpolate(*morph, c.ratio);
    ASSERT_EQ(shape.groups.size(), 1u);
    const StyleGroup& g = shape.groups[0];
    ASSERT_EQ(g.edges.size(), 4u);
    EXPECT_EQ(g.edges[0].x0, c.x0);
    EXPECT_EQ(g.edges[0].y0, c.y0);
    EXPECT_EQ(g.edges[0].x1, c.x1);
    EXPECT_EQ(g.edges[0].fill1, 1); // styles come from the start edges
    // The second edge is straight at the start and a curve at the end.
    EXPECT_TRUE(g.edges[1].curved); // paired with a curve, also at the start
    EXPECT_EQ(g.edges[1].cx, c.cx);
    EXPECT_EQ(g.edges[1].cy, c.cy);
    // Edges stay joined: each starts where the previous one ends.
    for (std::size_t i = 1; i < g.edges.size(); ++i) {
        EXPECT_EQ(g.edges[i].x0, g.edges[i - 1].x1);
        EXPECT_EQ(g.edges[i].y0, g.edges[i - 1].y1);
    }
    EXPECT_EQ(g.fills[0].color, c.fill);
    EXPECT_EQ(g.lines[0].width, c.width);
    EXPECT_EQ(g.fills[1].gradient.stops[1].ratio, c.stop1Ratio);
    EXPECT_DOUBLE_EQ(g.fills[1].matrix.a, c.gradientScale);
    EXPECT_EQ(shape.bounds.xMax, c.boundsXMax);
    EXPECT_EQ(g.fills[2].type, FillType::ClippedBitmap);
    EXPECT_EQ(g.fills[2].bitmapId, 7);
}

INSTANTIATE_TEST_SUITE_P(
    Ratios, MorphRatioTest,
    ::testing::Values(
        // Start: the straight edge (1000,0)-(1000,1000) has its midpoint as control point.
        RatioCase{0.0, 0, 0, 1000, 1000, 500, kRed, 20, 255, 1.0, 1000},
        RatioCase{0.5, 100, 100, 1600, 1700, 850, {128, 0, 128, 192}, 40, 205, 2.0, 1600},
        RatioCase{1.0, 200, 200, 2200, 2400, 1200, kBlueHalf, 60, 155, 3.0, 2200},
        RatioCase{7.0, 200, 200, 2200, 2400, 1200, kBlueHalf, 60, 155, 3.0, 2200},
        RatioCase{-1.0, 0, 0, 1000, 1000, 500, kRed, 20, 255, 1.0, 1000}));

TEST(MorphShape, MismatchedEdgeCountsKeepTheStartShape) {
    for (int endEdges : {0, 1, 6}) {
        MorphBody m;
        m.head.rect(0, 100, 0, 100).rect(0, 100, 0, 100);
        m.styles.u8(1);
        rgba(m.styles.u8(0), kRed);
        rgba(m.styles, kRed);
        m.styles.u8(0);
        EdgeRecordWriter start(m.styles, 1, 0);
        start.moveTo(0, 0, 1).lineBy(100, 0).lineBy(0, 100).lineBy(-100, -100);
        start.end();
        EdgeRecordWriter end(m.end, 0, 0);
        for (int i = 0; i < endEdges; ++i)
            end.lineBy(10, 10);
        end.end();
        const std::vector<uint8_t> data = m.build();
        ByteReader reader(data);
        auto morph = parseDefineMorphShape(kMorph1, reader);
        ASSERT_TRUE(morph.ok()) << morph.message();
        const Shape shape = interpolate(*morph, 1.0);
        ASSERT_EQ(shape.groups[0].edges.size(), 3u) << endEdges;
        // The last start edge has no partner unless there are enough end edges.
        const Edge& last = shape.groups[0].edges[2];
        if (endEdges < 3) {
            EXPECT_EQ(last.x0, 100);
            EXPECT_EQ(last.x1, 0);
        } else {
            EXPECT_EQ(last.x1, 30);
        }
    }
}

TEST(MorphShape, MorphShape2ReadsLineStyle2FillsAndFocalGradients) {
    MorphBody m;
    m.version2 = true;
    m.head.rect(0, 10, 0, 10).rect(0, 20, 0, 20).rect(1, 9, 1, 9).rect(2, 18, 2, 18).u8(0x02);
    SwfBits& s = m.styles;
    s.u8(1).u8(0x13).matrix().matrix(2, 2);
    s.u8(0x01); // one record
    rgba(s.u8(0), kRed);
    rgba(s.u8(255), kBlueHalf);
    s.fixed8(-0.5).fixed8(0.5);
    // Two line styles: a miter-joined one with a colour, and one with a solid fill.
    s.u8(2);
    s.u16(40).u16(80).ub(2, 2).ub(2, 2).flag(false).flag(true).flag(false).flag(false);
    s.ub(5, 0).flag(true).ub(2, 1).align().fixed8(4.0);
    rgba(s, kRed);
    rgba(s, kBlueHalf);
    s.u16(10).u16(10).ub(2, 0).ub(2, 0).flag(true).flag(false).flag(false).flag(false);
    s.ub(5, 0).flag(false).ub(2, 0).align();
    rgba(s.u8(0x00), {10, 20, 30, 40});
    rgba(s, {50, 60, 70, 80});
    EdgeRecordWriter start(s, 1, 2);
    start.moveTo(0, 0, 1, 0, 2).lineBy(10, 0).lineBy(0, 10);
    start.end();
    EdgeRecordWriter end(m.end, 0, 0);
    end.lineBy(20, 0).lineBy(0, 20);
    end.end();
    const std::vector<uint8_t> data = m.build();
    ByteReader reader(data);
    auto morph = parseDefineMorphShape(kMorph2, reader);
    ASSERT_TRUE(morph.ok()) << morph.message();
    EXPECT_EQ(morph->endEdgeBounds, (Rect{2, 18, 2, 18}));
    EXPECT_TRUE(morph->usesNonScalingStrokes);
    EXPECT_FALSE(morph->usesScalingStrokes);
    ASSERT_EQ(morph->fills.size(), 1u);
    EXPECT_EQ(morph->fills[0].start.type, FillType::FocalRadialGradient);
    ASSERT_EQ(morph->lines.size(), 2u);
    const MorphLineStyle& miter = morph->lines[0];
    EXPECT_EQ(miter.start.join, JoinStyle::Miter);
    EXPECT_EQ(miter.end.join, JoinStyle::Miter);
    EXPECT_FLOAT_EQ(miter.start.miterLimit, 4.0f);
    EXPECT_EQ(miter.start.startCap, CapStyle::Square);
    EXPECT_EQ(miter.end.endCap, CapStyle::None);
    EXPECT_TRUE(miter.start.noHScale);
    EXPECT_TRUE(miter.start.noClose);
    EXPECT_EQ(miter.end.color, kBlueHalf);
    EXPECT_TRUE(morph->lines[1].start.hasFill);

    const Shape half = interpolate(*morph, 0.5);
    const StyleGroup& g = half.groups[0];
    EXPECT_FLOAT_EQ(g.fills[0].gradient.focalPoint, 0.0f);
    EXPECT_EQ(g.fills[0].gradient.stops[0].color, (Rgba{128, 0, 128, 192}));
    EXPECT_DOUBLE_EQ(g.fills[0].matrix.d, 1.5);
    EXPECT_EQ(g.lines[0].width, 60);
    EXPECT_EQ(g.lines[1].fill.color, (Rgba{30, 40, 50, 60}));
    EXPECT_EQ(g.edges[1].x0, 15);
    EXPECT_EQ(g.edges[1].y1, 15);
}

TEST(MorphShape, EndEdgesFollowTheStartEdgesWhenTheOffsetIsZero) {
    MorphBody m = squareMorph();
    m.offsetOverride = 0;
    const std::vector<uint8_t> data = m.build();
    ByteReader reader(data);
    auto morph = parseDefineMorphShape(kMorph1, reader);
    ASSERT_TRUE(morph.ok()) << morph.message();
    ASSERT_EQ(morph->endEdges.size(), 4u);
    EXPECT_EQ(morph->endEdges[0].x1, 2200);
}

TEST(MorphShape, DamagedBodiesFailWithoutCrashing) {
    MorphBody m = squareMorph();
    const std::vector<uint8_t> data = m.build();
    for (std::size_t n = 0; n < data.size(); ++n) {
        ByteReader reader(data.data(), n);
        EXPECT_FALSE(parseDefineMorphShape(kMorph1, reader).ok()) << "cut at " << n;
    }
    MorphBody far = squareMorph();
    far.offsetOverride = 100000;
    const std::vector<uint8_t> farData = far.build();
    ByteReader farReader(farData);
    auto morph = parseDefineMorphShape(kMorph1, farReader);
    ASSERT_FALSE(morph.ok());
    EXPECT_NE(morph.message().find("offset"), std::string::npos) << morph.message();

    ByteReader other(data);
    EXPECT_FALSE(parseDefineMorphShape(2, other).ok());

    // Style indices past the arrays are dropped rather than kept for the renderer to trip on.
    MorphBody bad;
    bad.head.rect(0, 10, 0, 10).rect(0, 10, 0, 10);
    bad.styles.u8(0).u8(0);
    EdgeRecordWriter start(bad.styles, 2, 2);
    start.moveTo(0, 0, 3, 2, 1).lineBy(10, 0);
    start.end();
    EdgeRecordWriter(bad.end, 0, 0).end();
    const std::vector<uint8_t> badData = bad.build();
    ByteReader badReader(badData);
    auto dropped = parseDefineMorphShape(kMorph1, badReader);
    ASSERT_TRUE(dropped.ok()) << dropped.message();
    EXPECT_EQ(dropped->startEdges[0].fill0, 0);
    EXPECT_EQ(dropped->startEdges[0].fill1, 0);
    EXPECT_EQ(dropped->startEdges[0].line, 0);
}

} // namespace
} // namespace swivio::swf
