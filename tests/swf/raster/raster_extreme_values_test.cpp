// Values no sane movie holds but a hostile or broken one can: infinite or NaN factors and
// strengths, absurd widths. Drawing stays defined (the sanitizer build checks that) and
// the sensible part of the picture is still drawn.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/swf/raster/raster_test_util.h"

namespace swivio::swf {
namespace {

using namespace testing;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::shared_ptr<Shape> redSquare() {
    return makeShape({solidFill(rgb(255, 0, 0))}, rectangle(10, 10, 20, 20));
}

TEST(RasterExtremeValues, NonFiniteColourFactorsCountAsZero) {
    ColorTransform ct;
    ct.mr = kNaN; // every non-finite factor counts as 0
    ct.ag = kInf;
    ct.ab = -kInf;
    const Frame f = renderFrame({draw(redSquare(), {}, ct)}, 30, 30, rgb(0, 0, 90));
    EXPECT_EQ(at(f, 15, 15), rgb(0, 0, 0)) << ::testing::PrintToString(at(f, 15, 15));
    EXPECT_EQ(at(f, 25, 25), rgb(0, 0, 90)); // outside untouched

    // On a layer the same transform applies to the finished picture.
    RenderCommand layer = pushLayer(BlendMode::Normal);
    layer.colorTransform = ct;
    const Frame g = renderFrame({layer, draw(redSquare()), command(RenderCommand::Kind::PopLayer)},
                                30, 30, rgb(0, 0, 90));
    EXPECT_EQ(at(g, 25, 25), rgb(0, 0, 90));
    EXPECT_EQ(at(g, 15, 15).r, 0);
}

TEST(RasterExtremeValues, InfiniteGlowStrengthGlowsFullyWhereTheShapeReaches) {
    Filter glow;
    glow.type = Filter::Type::Glow;
    glow.color = rgb(0, 255, 0);
    glow.blurX = glow.blurY = 4;
    glow.strength = kInf;
    const Frame f = renderFrame({pushLayer(BlendMode::Normal, {glow}), draw(redSquare()),
                                 command(RenderCommand::Kind::PopLayer)},
                                30, 30);
    EXPECT_EQ(at(f, 15, 15), rgb(255, 0, 0)); // the shape over its glow
    EXPECT_GT(at(f, 9, 15).g, 200);           // just outside: full glow
    EXPECT_EQ(at(f, 0, 0), rgb(0, 0, 0));     // far away: nothing
}

TEST(RasterExtremeValues, StrokesOfHugeWidthAndSharpMitersStayInBounds) {
    // A zig-zag of near-reversals with the widest line and the longest miters: the joins
    // reach far out, possibly to infinity, and must neither crash nor leave the frame.
    LineStyle line;
    line.width = 65535;
    line.color = rgb(255, 255, 0);
    line.join = JoinStyle::Miter;
    line.miterLimit = kInf;
    std::vector<Edge> edges;
    for (int i = 0; i < 8; ++i) {
        // Down, then back up a twip to the side: turns of almost 180 degrees.
        const double x = 15 + i * 0.05;
        edges.push_back(i % 2 ? testing::line(x - 0.05, 25, x, 5, 0, 0, 1)
                              : testing::line(x, 5, x, 25, 0, 0, 1));
    }
    auto shape = makeShape({}, edges, {line});
    const Frame f = renderFrame({draw(shape)}, 30, 30);
    // Far wider than the frame: every pixel is the line's colour.
    EXPECT_EQ(at(f, 0, 0), rgb(255, 255, 0));
    EXPECT_EQ(at(f, 29, 29), rgb(255, 255, 0));
}

TEST(RasterExtremeValues, StrokesStretchedToExtremesStayInBounds) {
    // The widest round-capped line, stretched a millionfold across: millions of pixels
    // long, a few high, drawn in reasonable time.
    LineStyle line;
    line.width = 65535;
    line.color = rgb(255, 255, 0);
    auto shape = makeShape({}, {testing::line(10, 15, 20, 15, 0, 0, 1)}, {line});
    const Frame f = renderFrame({draw(shape, Matrix{1e3, 0, 0, 1e-3, 0, 0})}, 30, 30);
    EXPECT_EQ(at(f, 0, 0), rgb(255, 255, 0));
    EXPECT_EQ(at(f, 29, 0), rgb(255, 255, 0));
    EXPECT_EQ(at(f, 15, 29), rgb(0, 0, 0));
}

TEST(RasterExtremeValues, PixelAlignedDrawingWithAnOriginAtInfinityStaysPut) {
    RenderCommand c = draw(redSquare());
    c.pixelAligned = true;
    c.alignX = kInf;
    c.alignY = kNaN;
    const Frame f = renderFrame({c}, 30, 30);
    EXPECT_EQ(at(f, 15, 15), rgb(255, 0, 0));
    EXPECT_EQ(at(f, 25, 25), rgb(0, 0, 0));
}

} // namespace
} // namespace swivio::swf
