#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "tests/swf/raster/raster_test_util.h"

namespace swivio::swf {
namespace {

using namespace testing;

const Rgba kBlack = rgb(0, 0, 0);
const Rgba kWhite = rgb(255, 255, 255);
const Rgba kRed = rgb(255, 0, 0);
const Rgba kBlue = rgb(0, 0, 255);

TEST(RasterFill, SolidSquareColoursItsInsideOnly) {
    const Frame f = renderFrame({draw(makeShape({solidFill(kRed)}, rectangle(10, 10, 30, 30)))});
    EXPECT_EQ(at(f, 20, 20), kRed);
    EXPECT_EQ(at(f, 10, 10), kRed);
    EXPECT_EQ(at(f, 29, 29), kRed);
    EXPECT_EQ(at(f, 9, 20), kBlack);
    EXPECT_EQ(at(f, 30, 20), kBlack);
    EXPECT_EQ(at(f, 20, 30), kBlack);
    EXPECT_EQ(at(f, 2, 2), kBlack);
}

// With y pointing down, a square drawn clockwise on screen has fill 1 inside; drawn
// anticlockwise it has fill 0 inside.
TEST(RasterFill, FillSidesFollowScreenOrientation) {
    const Frame clockwise =
        renderFrame({draw(makeShape({solidFill(kRed)}, rectangle(10, 10, 30, 30, 1)))});
    EXPECT_EQ(at(clockwise, 20, 20), kRed);

    const auto anticlockwise = polygon({{10, 10}, {10, 30}, {30, 30}, {30, 10}}, 1, 0);
    const Frame f0 = renderFrame({draw(makeShape({solidFill(kRed)}, anticlockwise))});
    EXPECT_EQ(at(f0, 20, 20), kRed);
    EXPECT_EQ(at(f0, 5, 5), kBlack);
}

TEST(RasterFill, NeighbouringFillsLeaveNoSeam) {
    // Two triangles of one colour meet on the square's diagonal; every pixel of the square
    // must be the fill colour, on the diagonal too.
    std::vector<Edge> edges = {
        line(5, 5, 35, 5, 0, 1), line(35, 5, 35, 35, 0, 1), line(35, 35, 5, 5, 2, 1),
        line(5, 5, 5, 35, 2, 0), line(5, 35, 35, 35, 2, 0),
    };
    for (Rgba colour : {kWhite, rgb(200, 120, 40)}) {
        const Frame f = renderFrame(
            {draw(makeShape({solidFill(colour), solidFill(colour)}, edges))}, 40, 40, kBlack);
        for (int y = 5; y < 35; ++y) {
            for (int x = 5; x < 35; ++x) {
                ASSERT_EQ(at(f, x, y), colour) << "at " << x << "," << y;
            }
        }
    }
}

TEST(RasterFill, SeamIsInvisibleAtAnyAngle) {
    // A fan of differently coloured wedges around a centre must not let the background
    // through anywhere inside: the sum of each pixel stays above the wedge colours' minimum.
    std::vector<Edge> edges;
    const int n = 7;
    const double cx = 20, cy = 20, r = 40; // the heptagon's sides lie outside the frame
    std::vector<std::pair<double, double>> rim;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * 3.14159265358979 * i / n + 0.3;
        rim.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    std::vector<FillStyle> fills;
    for (int i = 0; i < n; ++i) {
        fills.push_back(solidFill(rgb(255, 255, 255)));
        const auto& a = rim[i];
        const auto& b = rim[(i + 1) % n];
        // Wedge i lies to the right of centre->a and left of centre->b (clockwise order).
        edges.push_back(
            line(cx, cy, a.first, a.second, uint16_t((i + n - 1) % n + 1), uint16_t(i + 1)));
        edges.push_back(line(a.first, a.second, b.first, b.second, 0, uint16_t(i + 1)));
    }
    const Frame f = renderFrame({draw(makeShape(fills, edges))}, 40, 40, kBlack);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(at(f, x, y), kWhite) << "at " << x << "," << y;
        }
    }
}

// Fills of one group that overlap without sharing an edge (a highlight drawn inside a
// body): the later style lies over the earlier, as a second shape would.
TEST(RasterFill, LaterFillCoversAnEarlierOneItOverlaps) {
    auto edges = rectangle(5, 5, 35, 35, 1);
    for (const Edge& e : rectangle(12, 12, 28, 28, 2)) {
        edges.push_back(e);
    }
    const Frame opaque = renderFrame({draw(makeShape({solidFill(kRed), solidFill(kBlue)}, edges))});
    EXPECT_EQ(at(opaque, 20, 20), kBlue);
    EXPECT_EQ(at(opaque, 8, 20), kRed);
    EXPECT_EQ(at(opaque, 2, 2), kBlack);

    const Frame halfBlue =
        renderFrame({draw(makeShape({solidFill(kRed), solidFill(rgb(0, 0, 255, 128))}, edges))});
    EXPECT_TRUE(near(at(halfBlue, 20, 20), rgb(127, 0, 128), 2))
        << ::testing::PrintToString(at(halfBlue, 20, 20));

    // The inner square split into two styles that share their middle edge: they are drawn
    // together, seam-free, and both over the earlier style.
    auto split = rectangle(5, 5, 35, 35, 1);
    auto left = rectangle(12, 12, 20, 28, 3);
    auto right = rectangle(20, 12, 28, 28, 2);
    left.erase(left.begin() + 1);   // its right side is the shared edge
    right.erase(right.begin() + 3); // and so is this one's left side
    split.insert(split.end(), left.begin(), left.end());
    split.insert(split.end(), right.begin(), right.end());
    split.push_back(line(20, 12, 20, 28, 2, 3));
    const Frame three = renderFrame(
        {draw(makeShape({solidFill(kRed), solidFill(kBlue), solidFill(kWhite)}, split))});
    EXPECT_EQ(at(three, 8, 20), kRed);
    EXPECT_EQ(at(three, 16, 20), kWhite);
    EXPECT_EQ(at(three, 19, 20), kWhite);
    EXPECT_EQ(at(three, 20, 20), kBlue);
    EXPECT_EQ(at(three, 24, 20), kBlue);
}

TEST(RasterFill, WindingRuleDecidesOverlaps) {
    // Two overlapping clockwise squares of the same style.
    auto edges = rectangle(5, 5, 25, 25);
    auto second = rectangle(15, 15, 35, 35);
    edges.insert(edges.end(), second.begin(), second.end());
    auto shape = makeShape({solidFill(kRed)}, edges);
    const Frame evenOdd = renderFrame({draw(shape)});
    EXPECT_EQ(at(evenOdd, 10, 10), kRed);
    EXPECT_EQ(at(evenOdd, 20, 20), kBlack);

    auto nonZero = std::make_shared<Shape>(*shape);
    nonZero->nonZeroWinding = true;
    const Frame f = renderFrame({draw(nonZero)});
    EXPECT_EQ(at(f, 20, 20), kRed);
    EXPECT_EQ(at(f, 30, 30), kRed);
}

TEST(RasterFill, LaterStyleGroupsAndLinesLieAbove) {
    auto shape = std::make_shared<Shape>();
    StyleGroup below;
    below.fills = {solidFill(kRed)};
    below.edges = rectangle(0, 0, 30, 30);
    StyleGroup above;
    above.fills = {solidFill(kBlue)};
    LineStyle outline;
    outline.width = 4 * kTwips;
    outline.color = kWhite;
    above.lines = {outline};
    above.edges = rectangle(10, 10, 40, 40, 1, 1);
    shape->groups = {below, above};
    const Frame f = renderFrame({draw(shape)});
    EXPECT_EQ(at(f, 5, 5), kRed);
    EXPECT_EQ(at(f, 20, 20), kBlue);
    EXPECT_EQ(at(f, 10, 20), kWhite); // the line sits on the blue fill's edge
    EXPECT_EQ(at(f, 25, 10), kWhite);
}

TEST(RasterFill, TransparentFillBlendsWithBackground) {
    const Frame f = renderFrame(
        {draw(makeShape({solidFill(rgb(255, 255, 255, 128))}, rectangle(0, 0, 40, 40)))}, 40, 40,
        rgb(0, 0, 200));
    EXPECT_TRUE(near(at(f, 20, 20), rgb(128, 128, 227), 2))
        << ::testing::PrintToString(at(f, 20, 20));
}

// Gradients.

std::vector<GradientStop> redToBlue() {
    return {{0, kRed}, {255, kBlue}};
}

TEST(RasterGradient, LinearEndsAndMidpoint) {
    const auto shape =
        makeShape({gradientFill(FillType::LinearGradient, redToBlue(), gradientBox(0, 200, 5))},
                  rectangle(0, 0, 200, 10));
    const Frame f = renderFrame({draw(shape)}, 200, 10);
    EXPECT_TRUE(near(at(f, 0, 5), kRed, 3));
    EXPECT_TRUE(near(at(f, 199, 5), kBlue, 3));
    const Rgba mid = at(f, 100, 5);
    EXPECT_TRUE(near(mid, rgb(128, 0, 128), 4)) << ::testing::PrintToString(mid);
    // Vertical position does not matter for a horizontal gradient.
    EXPECT_EQ(at(f, 50, 1), at(f, 50, 8));
}

struct SpreadCase {
    SpreadMode spread;
    Rgba justBeyondEnd;  // a little past the right end of the gradient square
    Rgba halfPeriodOver; // half a square past the right end
};

class RasterGradientSpread : public ::testing::TestWithParam<SpreadCase> {};

TEST_P(RasterGradientSpread, BeyondTheEnds) {
    // Gradient square covers x 0..100; the shape extends to 160.
    const auto shape = makeShape({gradientFill(FillType::LinearGradient, redToBlue(),
                                               gradientBox(0, 100, 5), GetParam().spread)},
                                 rectangle(0, 0, 160, 10));
    const Frame f = renderFrame({draw(shape)}, 160, 10);
    EXPECT_TRUE(near(at(f, 102, 5), GetParam().justBeyondEnd, 12))
        << ::testing::PrintToString(at(f, 102, 5));
    EXPECT_TRUE(near(at(f, 150, 5), GetParam().halfPeriodOver, 8))
        << ::testing::PrintToString(at(f, 150, 5));
}

INSTANTIATE_TEST_SUITE_P(Modes, RasterGradientSpread,
                         ::testing::Values(SpreadCase{SpreadMode::Pad, kBlue, kBlue},
                                           SpreadCase{SpreadMode::Repeat, kRed, rgb(128, 0, 128)},
                                           SpreadCase{SpreadMode::Reflect, kBlue,
                                                      rgb(128, 0, 128)}));

TEST(RasterGradient, RadialCentreAndRim) {
    const auto shape = makeShape({gradientFill(FillType::RadialGradient, {{0, kWhite}, {255, kRed}},
                                               gradientBox(0, 40, 20))},
                                 rectangle(0, 0, 40, 40));
    const Frame f = renderFrame({draw(shape)});
    EXPECT_TRUE(near(at(f, 20, 20), kWhite, 16)) << ::testing::PrintToString(at(f, 20, 20));
    EXPECT_TRUE(near(at(f, 20, 0), kRed, 16));
    EXPECT_EQ(at(f, 1, 1), kRed); // outside the circle: padded with the last colour
    // Symmetric about the centre.
    EXPECT_TRUE(near(at(f, 10, 20), at(f, 29, 20), 8));
}

// Every pixel of a black-to-white gradient shows its own distance along the gradient,
// across whole rows (where the span loops take four pixels at a time) and at the ends.
TEST(RasterGradient, EveryPixelFollowsTheGradientExactly) {
    constexpr int kSize = 120;
    const auto stops = std::vector<GradientStop>{{0, kBlack}, {255, kWhite}};
    for (FillType type : {FillType::LinearGradient, FillType::RadialGradient}) {
        const Frame f = renderFrame(
            {draw(makeShape({gradientFill(type, stops, gradientBox(10, 110, 60))},
                            rectangle(0, 0, kSize, kSize)))},
            kSize, kSize);
        for (int y = 0; y < kSize; y += 7) {
            for (int x = 0; x < kSize; ++x) {
                const double dx = x + 0.5 - 60, dy = y + 0.5 - 60;
                double t = type == FillType::LinearGradient ? (dx / 50 + 1) / 2
                                                            : std::sqrt(dx * dx + dy * dy) / 50;
                t = std::clamp(t, 0.0, 1.0);
                const int expected = int(std::lround(t * 255));
                ASSERT_LE(std::abs(int(at(f, x, y).g) - expected), 1)
                    << int(type) << " at " << x << "," << y;
            }
        }
    }
}

TEST(RasterGradient, FocalPointCarriesTheFirstColour) {
    auto fill = gradientFill(FillType::FocalRadialGradient, {{0, kWhite}, {255, kRed}},
                             gradientBox(0, 40, 20));
    fill.gradient.focalPoint = 0.5; // half way to the right edge: x = 30
    const Frame f = renderFrame({draw(makeShape({fill}, rectangle(0, 0, 40, 40)))});
    EXPECT_TRUE(near(at(f, 30, 20), kWhite, 24)) << ::testing::PrintToString(at(f, 30, 20));
    // Closer to the rim on the focal side than on the other.
    EXPECT_GT(at(f, 36, 20).g, 0);
    EXPECT_LT(at(f, 36, 20).g, at(f, 14, 20).g);
}

TEST(RasterGradient, LinearRgbInterpolationIsBrighterInTheMiddle) {
    auto fill = gradientFill(FillType::LinearGradient, {{0, kBlack}, {255, kWhite}},
                             gradientBox(0, 100, 5));
    const Frame srgb = renderFrame({draw(makeShape({fill}, rectangle(0, 0, 100, 10)))}, 100, 10);
    fill.gradient.interpolation = Interpolation::LinearRgb;
    const Frame linear = renderFrame({draw(makeShape({fill}, rectangle(0, 0, 100, 10)))}, 100, 10);
    EXPECT_TRUE(near(at(srgb, 50, 5), rgb(128, 128, 128), 4));
    EXPECT_GT(at(linear, 50, 5).r, 170); // linear 0.5 is sRGB ~188
}

// Bitmaps.

Bitmap checker2x2() {
    Bitmap b;
    b.width = 2;
    b.height = 2;
    // R, G, B, A bytes in memory: red, green / blue, white.
    b.pixels = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};
    return b;
}

FillStyle bitmapFill(FillType type, uint16_t id, Matrix m) {
    FillStyle f;
    f.type = type;
    f.bitmapId = id;
    f.matrix = m;
    return f;
}

TEST(RasterBitmap, NearestPixelsUnderScaleAndTranslation) {
    MapBitmaps bitmaps;
    bitmaps.add(7, checker2x2());
    // Each bitmap pixel becomes 10 x 10 screen pixels, the bitmap's corner at (5, 5).
    const Matrix m{10.0 * kTwips, 0, 0, 10.0 * kTwips, 5.0 * kTwips, 5.0 * kTwips};
    const auto shape =
        makeShape({bitmapFill(FillType::ClippedBitmapHard, 7, m)}, rectangle(0, 0, 40, 40));
    const Frame f = renderFrame({draw(shape)}, 40, 40, kBlack, &bitmaps);
    EXPECT_EQ(at(f, 6, 6), kRed);
    EXPECT_EQ(at(f, 14, 14), kRed);
    EXPECT_EQ(at(f, 15, 6), rgb(0, 255, 0));
    EXPECT_EQ(at(f, 6, 15), kBlue);
    EXPECT_EQ(at(f, 24, 24), kWhite);
    // Clipped: outside the bitmap its edge pixels repeat.
    EXPECT_EQ(at(f, 1, 1), kRed);
    EXPECT_EQ(at(f, 38, 2), rgb(0, 255, 0));
    EXPECT_EQ(at(f, 38, 38), kWhite);
    EXPECT_EQ(at(f, 2, 38), kBlue);
}

TEST(RasterBitmap, RepeatingFillTiles) {
    MapBitmaps bitmaps;
    bitmaps.add(7, checker2x2());
    const Matrix m{10.0 * kTwips, 0, 0, 10.0 * kTwips, 0, 0};
    const auto shape =
        makeShape({bitmapFill(FillType::RepeatingBitmapHard, 7, m)}, rectangle(0, 0, 40, 40));
    const Frame f = renderFrame({draw(shape)}, 40, 40, kBlack, &bitmaps);
    EXPECT_EQ(at(f, 25, 25), kRed);
    EXPECT_EQ(at(f, 35, 25), rgb(0, 255, 0));
    EXPECT_EQ(at(f, 35, 35), kWhite);
}

TEST(RasterBitmap, SmoothedFillKeepsPixelCentresAndBlendsBetween) {
    MapBitmaps bitmaps;
    Bitmap b;
    b.width = 2;
    b.height = 1;
    b.pixels = {0xFF000000u, 0xFFFFFFFFu}; // black, white
    bitmaps.add(3, b);
    const Matrix m{20.0 * kTwips, 0, 0, 20.0 * kTwips, 0, 0};
    const auto shape =
        makeShape({bitmapFill(FillType::ClippedBitmap, 3, m)}, rectangle(0, 0, 40, 20));
    const Frame f = renderFrame({draw(shape)}, 40, 20, kRed, &bitmaps);
    EXPECT_TRUE(near(at(f, 2, 10), kBlack, 2));
    EXPECT_TRUE(near(at(f, 38, 10), kWhite, 2));
    const Rgba mid = at(f, 20, 10);
    EXPECT_GT(mid.r, 60);
    EXPECT_LT(mid.r, 200);
}

TEST(RasterBitmap, MissingOrNoBitmapDrawsNothing) {
    MapBitmaps bitmaps;
    bitmaps.add(1, Bitmap{}); // zero-sized
    Bitmap broken;
    broken.width = 100;
    broken.height = 100; // but no pixels
    bitmaps.add(2, broken);
    for (uint16_t id : {uint16_t(1), uint16_t(2), uint16_t(9), uint16_t(65535)}) {
        const auto shape =
            makeShape({bitmapFill(FillType::RepeatingBitmap, id, {kTwips, 0, 0, kTwips, 0, 0})},
                      rectangle(0, 0, 40, 40));
        const Frame f = renderFrame({draw(shape)}, 40, 40, rgb(1, 2, 3), &bitmaps);
        EXPECT_EQ(at(f, 20, 20), rgb(1, 2, 3)) << "bitmap id " << id;
    }
}

// Colour transforms apply to every kind of fill.

enum class FillKind { Solid, Gradient, Bitmap };

class RasterColorTransform : public ::testing::TestWithParam<FillKind> {};

TEST_P(RasterColorTransform, MultiplyAndAdd) {
    MapBitmaps bitmaps;
    Bitmap grey;
    grey.width = grey.height = 1;
    grey.pixels = {0xFF646464u}; // 100, 100, 100
    bitmaps.add(4, grey);
    FillStyle fill;
    switch (GetParam()) {
    case FillKind::Solid:
        fill = solidFill(rgb(100, 100, 100));
        break;
    case FillKind::Gradient:
        fill = gradientFill(FillType::LinearGradient,
                            {{0, rgb(100, 100, 100)}, {255, rgb(100, 100, 100)}},
                            gradientBox(0, 40, 20));
        break;
    case FillKind::Bitmap:
        fill = bitmapFill(FillType::RepeatingBitmap, 4, {kTwips, 0, 0, kTwips, 0, 0});
        break;
    }
    ColorTransform ct;
    ct.mr = 2.0f;  // 200
    ct.mg = 0.5f;  // 50
    ct.ab = 30.0f; // 130
    const Frame f = renderFrame({draw(makeShape({fill}, rectangle(0, 0, 40, 40)), {}, ct)}, 40, 40,
                                kBlack, &bitmaps);
    EXPECT_TRUE(near(at(f, 20, 20), rgb(200, 50, 130), 1))
        << ::testing::PrintToString(at(f, 20, 20));

    // Alpha multiplied to a half lets half of the background through.
    ColorTransform half;
    half.ma = 0.5f;
    const Frame g = renderFrame({draw(makeShape({fill}, rectangle(0, 0, 40, 40)), {}, half)}, 40,
                                40, rgb(0, 0, 0), &bitmaps);
    EXPECT_TRUE(near(at(g, 20, 20), rgb(50, 50, 50), 2)) << ::testing::PrintToString(at(g, 20, 20));
}

INSTANTIATE_TEST_SUITE_P(Fills, RasterColorTransform,
                         ::testing::Values(FillKind::Solid, FillKind::Gradient, FillKind::Bitmap));

} // namespace
} // namespace swivio::swf
