#include "swf/player/drawing.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/frame.h"
#include "swf/player/bitmap_library.h"
#include "swf/player/hit_test.h"
#include "swf/player/render_emitter.h"
#include "swf/player/timeline_player.h"
#include "swf/raster/renderer.h"
#include "tests/swf/player/player_test_movies.h"

namespace swivio::swf {
namespace {

using Steps = std::function<void(Drawing&)>;

FillStyle solid(uint8_t r, uint8_t g, uint8_t b) {
    FillStyle fill;
    fill.color = {r, g, b, 255};
    return fill;
}

LineStyle line(uint16_t widthTwips) {
    LineStyle style;
    style.width = widthTwips;
    return style;
}

// Pen moves through the corners of an axis-aligned square, back to the first.
void square(Drawing& d, int32_t x0, int32_t y0, int32_t x1, int32_t y1, bool clockwise = true) {
    d.moveTo(x0, y0);
    if (clockwise) {
        d.lineTo(x1, y0);
        d.lineTo(x1, y1);
        d.lineTo(x0, y1);
    } else {
        d.lineTo(x0, y1);
        d.lineTo(x1, y1);
        d.lineTo(x1, y0);
    }
    d.lineTo(x0, y0);
}

// Whether the drawing's shape covers the point (twips).
bool hits(const Drawing& d, double x, double y) {
    auto shape = d.shape();
    return shape && shapeContains(*shape, x, y);
}

struct HitCase {
    const char* name;
    Steps draw;
    std::vector<std::pair<double, double>> inside, outside;
};

void PrintTo(const HitCase& c, std::ostream* os) {
    *os << c.name;
}

class DrawingHits : public testing::TestWithParam<HitCase> {};

TEST_P(DrawingHits, PointsFallInsideAndOutside) {
    const HitCase& c = GetParam();
    Drawing d;
    c.draw(d);
    for (auto [x, y] : c.inside)
        EXPECT_TRUE(hits(d, x, y)) << x << "," << y;
    for (auto [x, y] : c.outside)
        EXPECT_FALSE(hits(d, x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, DrawingHits,
    testing::Values(
        HitCase{"FilledSquare",
                [](Drawing& d) {
                    d.beginFill(solid(255, 0, 0));
                    square(d, 0, 0, 2000, 2000);
                    d.endFill();
                },
                {{1000, 1000}, {10, 1990}},
                {{-10, 1000}, {2010, 1000}, {1000, 2500}}},
        // One fill, an inner square in either direction: the even-odd rule makes a hole.
        HitCase{"HoleEitherWay",
                [](Drawing& d) {
                    d.beginFill(solid(0, 255, 0));
                    square(d, 0, 0, 2000, 2000);
                    square(d, 500, 500, 1500, 1500, false);
                    square(d, 3000, 0, 5000, 2000);
                    square(d, 3500, 500, 4500, 1500, true);
                    d.endFill();
                },
                {{250, 1000}, {3250, 1000}},
                {{1000, 1000}, {4000, 1000}}},
        // A fill begun again makes the inner square a fill of its own, not a hole.
        HitCase{"NewFillIsNoHole",
                [](Drawing& d) {
                    d.beginFill(solid(0, 255, 0));
                    square(d, 0, 0, 2000, 2000);
                    d.beginFill(solid(0, 0, 255));
                    square(d, 500, 500, 1500, 1500);
                    d.endFill();
                },
                {{1000, 1000}, {250, 250}},
                {{2500, 1000}}},
        // endFill closes the triangle back to where the fill's path began.
        HitCase{"EndFillCloses",
                [](Drawing& d) {
                    d.moveTo(0, 0);
                    d.beginFill(solid(0, 0, 255));
                    d.lineTo(2000, 0);
                    d.lineTo(2000, 2000);
                    d.endFill();
                },
                {{1500, 500}},
                {{500, 1500}}},
        // An unclosed path without a fill is hit only along its stroke.
        HitCase{"StrokeOnly",
                [](Drawing& d) {
                    d.lineStyle(line(200));
                    d.moveTo(0, 0);
                    d.lineTo(2000, 0);
                    d.curveTo(2000, 2000, 0, 2000);
                },
                {{1000, 90}, {1500, 1500}, {2000, 10}},
                {{1000, 150}, {1000, 1000}, {500, 1000}}},
        // With no moveTo the pen starts at the origin.
        HitCase{"StartsAtOrigin",
                [](Drawing& d) {
                    d.beginFill(solid(1, 2, 3));
                    d.lineTo(1000, 0);
                    d.lineTo(1000, 1000);
                    d.lineTo(0, 1000);
                    d.endFill();
                },
                {{500, 500}},
                {{1500, 500}}}),
    [](const testing::TestParamInfo<HitCase>& param) { return std::string(param.param.name); });

struct BoundsCase {
    const char* name;
    Steps draw;
    Rect expected;
};

void PrintTo(const BoundsCase& c, std::ostream* os) {
    *os << c.name;
}

class DrawingBounds : public testing::TestWithParam<BoundsCase> {};

TEST_P(DrawingBounds, CoverWhatIsDrawn) {
    Drawing d;
    GetParam().draw(d);
    ASSERT_TRUE(d.bounds());
    EXPECT_EQ(*d.bounds(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Shapes, DrawingBounds,
                         testing::Values(BoundsCase{"Square",
                                                    [](Drawing& d) {
                                                        d.beginFill(solid(255, 0, 0));
                                                        square(d, 100, 200, 2100, 2200);
                                                    },
                                                    {100, 2100, 200, 2200}},
                                         // A stroke reaches a whole width past its points.
                                         BoundsCase{"StrokeWidth",
                                                    [](Drawing& d) {
                                                        d.lineStyle(line(400));
                                                        d.moveTo(2000, 2000);
                                                        d.lineTo(4000, 4000);
                                                    },
                                                    {1600, 4400, 1600, 4400}},
                                         // A curve's control point counts.
                                         BoundsCase{"CurveControl",
                                                    [](Drawing& d) {
                                                        d.lineStyle(line(0));
                                                        d.curveTo(-600, 1000, 0, 2000);
                                                    },
                                                    {-600, 0, 0, 2000}}),
                         [](const testing::TestParamInfo<BoundsCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(Drawing, ClearAndPenMovesDrawNothing) {
    Drawing d;
    d.moveTo(100, 100);
    d.lineTo(500, 500); // no line style, no fill
    EXPECT_TRUE(d.empty());
    EXPECT_FALSE(d.bounds());
    d.lineStyle(line(20));
    d.lineTo(900, 900);
    EXPECT_FALSE(d.empty());
    d.clear();
    EXPECT_TRUE(d.empty());
    EXPECT_EQ(d.shape(), nullptr);
    // After clear the line style is gone too.
    d.lineTo(1000, 1000);
    EXPECT_TRUE(d.empty());
}

TEST(Drawing, StopsGrowingPastItsLimit) {
    Drawing d;
    d.lineStyle(line(20));
    auto edges = [&]() { return d.shape()->groups.front().edges.size(); };
    for (int i = 0; i < (1 << 21); ++i)
        d.lineTo(i % 2 ? 0 : 100, i);
    const std::size_t kept = edges();
    EXPECT_LT(kept, std::size_t(1) << 21);
    d.lineTo(5, 5);
    EXPECT_EQ(edges(), kept);
}

// A red drawn square with a drawn mask over its lower right quarter, on a black stage
// (20 twips a pixel).
TEST(Drawing, ScriptMaskLimitsTheMaskedClipAndIsNotDrawn) {
    testkit::SwfWriter w;
    w.showFrame().end();
    auto movie = test::definitionOf(w);
    ASSERT_TRUE(movie);
    TimelinePlayer player(movie);
    BitmapLibrary bitmaps(movie);
    DisplayObject* masked = player.createEmptyClip(player.root(), "masked", kFirstScriptDepth);
    DisplayObject* mask = player.createEmptyClip(player.root(), "mask", kFirstScriptDepth + 1);
    ASSERT_TRUE(masked && mask);
    masked->drawing = std::make_shared<Drawing>();
    masked->drawing->beginFill(solid(255, 0, 0));
    square(*masked->drawing, 0, 0, 800, 800);
    mask->drawing = std::make_shared<Drawing>();
    mask->drawing->beginFill(solid(0, 255, 0));
    mask->drawing->lineStyle(line(200)); // a mask's strokes do not widen it
    square(*mask->drawing, 400, 400, 1200, 1200);

    auto render = [&]() {
        RenderEmitter emitter(movie, bitmaps);
        RenderCommandList commands;
        emitter.emit(player.root(), commands);
        Frame frame(80, 80);
        frame.fill(0);
        RenderViewport view;
        view.stage = {0, 1600, 0, 1600};
        view.playerWidth = view.playerHeight = view.clipWidth = view.clipHeight = 80;
        Renderer().render(commands, bitmaps, view, frame);
        return frame;
    };
    constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlack = 0;

    masked->scriptMask = mask->handle();
    mask->maskedObject = masked->handle();
    Frame withMask = render();
    EXPECT_EQ(withMask.pixel(10, 10), kBlack); // the square outside the mask
    EXPECT_EQ(withMask.pixel(17, 30), kBlack); // under the mask's stroke only
    EXPECT_EQ(withMask.pixel(30, 30), kRed);   // inside both
    EXPECT_EQ(withMask.pixel(50, 50), kBlack); // the mask alone: not drawn

    // Once the mask no longer names the clip, both draw as they are.
    mask->maskedObject = {};
    Frame without = render();
    EXPECT_EQ(without.pixel(10, 10), kRed);
    EXPECT_EQ(without.pixel(50, 50), kGreen);
}

} // namespace
} // namespace swivio::swf
