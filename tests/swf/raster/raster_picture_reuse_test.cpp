// Shapes drawn the same way frame after frame are painted from a picture kept by the
// renderer. Whatever the picture's history, a frame must look as a fresh renderer paints it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "swf/raster/pixel_ops.h"
#include "swf/raster/shape_cache.h"
#include "tests/swf/raster/raster_test_util.h"

namespace swivio::swf {
namespace {

using namespace testing;

constexpr int kW = 120, kH = 90;

// A striped background, so that what is drawn over it shows whether it blended right.
Frame background() {
    Frame frame(kW, kH);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            frame.setPixel(x, y, (x / 7 + y / 5) % 2 ? makeColor(250, 240, 10) : makeColor(0, 30, 90));
        }
    }
    return frame;
}

Frame paint(Renderer& renderer, const RenderCommandList& commands,
            const RenderViewport& viewport = identityViewport(kW, kH)) {
    Frame frame = background();
    static MapBitmaps none;
    renderer.render(commands, none, viewport, frame);
    return frame;
}

Frame paintFresh(const RenderCommandList& commands,
                 const RenderViewport& viewport = identityViewport(kW, kH)) {
    Renderer renderer;
    return paint(renderer, commands, viewport);
}

int largestDifference(const Frame& a, const Frame& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.byteSize(); ++i) {
        worst = std::max(worst, std::abs(int(a.data()[i]) - int(b.data()[i])));
    }
    return worst;
}

// A half-transparent gradient hexagon with a thick stroke and a solid square inside.
std::shared_ptr<Shape> figure() {
    LineStyle stroke;
    stroke.width = 3 * kTwips;
    stroke.color = rgb(20, 200, 40, 220);
    auto edges = polygon({{0, 10}, {12, 0}, {28, 0}, {40, 10}, {28, 22}, {12, 22}}, 0, 1, 1);
    for (const Edge& e : rectangle(15, 6, 25, 16, 2)) {
        edges.push_back(e);
    }
    FillStyle gradient = gradientFill(FillType::RadialGradient,
                                      {{0, rgb(255, 0, 0, 160)}, {255, rgb(0, 0, 255, 200)}},
                                      gradientBox(0, 40, 11));
    auto shape = makeShape({gradient, solidFill(rgb(240, 240, 240, 128))}, edges, {stroke});
    shape->bounds = {-3 * kTwips, 43 * kTwips, -3 * kTwips, 25 * kTwips};
    return shape;
}

Matrix placedAt(double x, double y) {
    return {1, 0, 0, 1, x * kTwips, y * kTwips};
}

TEST(RasterPictureReuse, RepeatedFramesLookLikeAFreshPainting) {
    auto shape = figure();
    ColorTransform tint;
    tint.mg = 0.5f;
    tint.ab = 60;
    const Matrix rotated{0.8, 0.6, -0.6, 0.8, 50.25 * kTwips, 10.6 * kTwips};
    const RenderCommandList commands = {draw(shape, placedAt(10.35, 20.8)), draw(shape, rotated, tint),
                                        draw(shape, placedAt(70, 50))};
    const Frame fresh = paintFresh(commands);
    Renderer renderer;
    for (int frame = 0; frame < 4; ++frame) {
        EXPECT_LE(largestDifference(paint(renderer, commands), fresh), 2) << "frame " << frame;
    }
    // Scaled up, as when a movie is recorded larger than its stage.
    RenderViewport scaled = identityViewport(kW, kH);
    scaled.stage = {0, 60 * kTwips, 0, 45 * kTwips};
    const Frame freshScaled = paintFresh(commands, scaled);
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_LE(largestDifference(paint(renderer, commands, scaled), freshScaled), 2);
    }
}

// An opaque backdrop-like square, whose picture rows are copied rather than composed.
std::shared_ptr<Shape> opaqueSquare() {
    return makeShape({solidFill(rgb(30, 140, 60))}, rectangle(0, 0, 50, 30));
}

TEST(RasterPictureReuse, ShapesMovedByWholePixelsAndIntoView) {
    auto shape = figure();
    auto square = opaqueSquare();
    Renderer renderer;
    // Starts mostly off the left and top edges, then slides in a pixel and a half at a time
    // and, after some frames at rest, by whole pixels: the pictures made while it was cut
    // by the edge must not cut it later.
    for (int step = 0; step < 30; ++step) {
        const double x = -30.25 + (step < 10 ? step * 1.5 : 15 + (step - 10));
        const double y = -15.5 + std::min(step, 20);
        for (int repeat = 0; repeat < (step % 5 == 0 ? 2 : 1); ++repeat) {
            // The square on whole pixels, so that its picture is opaque to the edge.
            const RenderCommandList commands = {draw(square, placedAt(std::floor(x) - 10,
                                                                      std::floor(y) + 5)),
                                                draw(shape, placedAt(x, y))};
            ASSERT_LE(largestDifference(paint(renderer, commands), paintFresh(commands)), 2)
                << "step " << step;
        }
    }
}

TEST(RasterPictureReuse, MaskedShapesFromPictures) {
    auto shape = figure();
    auto window = makeShape({solidFill(rgb(0, 0, 0))}, rectangle(20, 15, 45, 60));
    const RenderCommandList commands = {command(RenderCommand::Kind::PushMask), draw(window),
                                        command(RenderCommand::Kind::BeginMasked),
                                        draw(opaqueSquare(), placedAt(5, 40)),
                                        draw(shape, placedAt(12.5, 20)), draw(shape, placedAt(25, 35.75)),
                                        command(RenderCommand::Kind::PopMask),
                                        draw(shape, placedAt(60, 10))};
    const Frame fresh = paintFresh(commands);
    Renderer renderer;
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_LE(largestDifference(paint(renderer, commands), fresh), 2) << "frame " << frame;
    }
    // What the mask hides stays hidden: left of the window only the background shows.
    const Frame last = paint(renderer, commands);
    EXPECT_EQ(last.pixel(15, 40), background().pixel(15, 40));
}

TEST(RasterPictureReuse, EdgesOutsideTheDeclaredBoundsAreStillDrawn) {
    // Damaged movies declare bounds that miss the edges, or none at all.
    for (Rect declared : {Rect{}, Rect{0, 5 * kTwips, 0, 5 * kTwips}, Rect{1, 0, 1, 0}}) {
        auto shape = figure();
        shape->bounds = declared;
        const RenderCommandList commands = {draw(shape, placedAt(30.5, 30))};
        const Frame fresh = paintFresh(commands);
        Renderer renderer;
        for (int frame = 0; frame < 3; ++frame) {
            EXPECT_LE(largestDifference(paint(renderer, commands), fresh), 2);
        }
        EXPECT_NE(fresh.pixel(50, 41), background().pixel(50, 41)); // the square shows
    }
}

TEST(RasterPictureReuse, EachNewShapeShowsItsOwnColours) {
    // Shapes come and go (a morph makes one per ratio): a new shape must never be painted
    // from the picture of one that lived at the same address before it.
    Renderer renderer;
    for (int i = 0; i < 40; ++i) {
        const Rgba colour = rgb(uint8_t(i * 6), uint8_t(255 - i * 6), uint8_t(i % 2 ? 200 : 0));
        auto shape = makeShape({solidFill(colour)}, rectangle(10, 10, 30, 30));
        for (int frame = 0; frame < 3; ++frame) {
            const Frame f = paint(renderer, {draw(shape)});
            ASSERT_TRUE(near(at(f, 20, 20), colour, 1)) << i << " " << frame;
        }
    }
}

TEST(RasterPictureReuse, ColourTransformChangesBetweenFrames) {
    auto shape = makeShape({solidFill(rgb(200, 100, 50))}, rectangle(10, 10, 30, 30));
    Renderer renderer;
    for (int frame = 0; frame < 12; ++frame) {
        ColorTransform ct;
        ct.mr = frame % 3 == 0 ? 1.0f : 0.0f;
        ct.ab = float(frame % 4) * 40;
        const Frame f = paint(renderer, {draw(shape, {}, ct)});
        EXPECT_TRUE(near(at(f, 20, 20), ct.apply(rgb(200, 100, 50)), 1)) << frame;
    }
}

TEST(RasterPictureReuse, PicturesStayWithinTheirBudget) {
    constexpr int kSide = 300;
    constexpr std::size_t kBudget = std::size_t(2) << 20;
    raster::Surface surface(kSide, kSide);
    raster::ShapePainter painter;
    raster::ShapeCache cache(kBudget);
    MapBitmaps none;
    raster::DrawTarget target;
    target.surface = &surface;
    const Matrix view{0.05, 0, 0, 0.05, 0, 0};
    // Twelve shapes of some 330 KB of picture each.
    std::vector<std::shared_ptr<Shape>> shapes;
    for (int i = 0; i < 12; ++i) {
        shapes.push_back(makeShape({solidFill(rgb(uint8_t(i * 20), 0, 0))},
                                   rectangle(i, 0, 280 + i, 280)));
    }
    for (int frame = 0; frame < 4; ++frame) {
        cache.beginFrame(none, kSide, kSide);
        painter.beginFrame();
        for (const auto& shape : shapes) {
            cache.draw(shape, {}, view, {}, none, target, painter);
        }
        EXPECT_LE(cache.pictureBytes(), kBudget);
    }
    EXPECT_GT(cache.pictureBytes(), kBudget / 2);
    // Whether from a picture or painted directly, the last shape is on top.
    EXPECT_EQ(raster::pixelR(surface.row(150)[150]), 220u);
}

TEST(RasterPictureReuse, ShapesFarFromTheirTranslationArePaintedDirectly) {
    // A huge scale puts a tiny shape's box far beyond any pixel position while its
    // translation stays on the surface: no picture can hold it, and none is tried.
    auto dot = makeShape({solidFill(rgb(255, 255, 255))}, {line(5, 5, 5, 5, 0, 1)});
    const Matrix huge{1e175, 0, 0, 1e175, 30 * kTwips, 30 * kTwips};
    const RenderCommandList commands = {draw(dot, huge), draw(figure(), placedAt(40, 40))};
    const Frame fresh = paintFresh(commands);
    Renderer renderer;
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_LE(largestDifference(paint(renderer, commands), fresh), 2);
    }
}

TEST(RasterPictureReuse, ShapesNoLongerDrawnAreLetGo) {
    // A look drawn in several frames is kept for long; one drawn in a single frame (with
    // repeats there that made its picture) goes soon, as most looks of a scene in motion.
    struct Case {
        int framesDrawn;
        int drawsPerFrame;
        uint64_t keptFor;
    };
    for (const Case& c : {Case{3, 1, raster::ShapeCache::kMaxIdleFrames},
                          Case{1, 3, raster::ShapeCache::kMaxIdleFramesSeenOnce}}) {
        SCOPED_TRACE(c.framesDrawn);
        raster::Surface surface(100, 100);
        raster::ShapePainter painter;
        raster::ShapeCache cache;
        MapBitmaps none;
        raster::DrawTarget target;
        target.surface = &surface;
        const Matrix view{0.05, 0, 0, 0.05, 0, 0};
        auto shape = makeShape({solidFill(rgb(10, 20, 30))}, rectangle(10, 10, 60, 60));
        const std::weak_ptr<Shape> watch = shape;
        for (int frame = 0; frame < c.framesDrawn; ++frame) {
            cache.beginFrame(none, 100, 100);
            for (int i = 0; i < c.drawsPerFrame; ++i) {
                cache.announce(shape, {}, view, {}, none);
            }
            for (int i = 0; i < c.drawsPerFrame; ++i) {
                cache.draw(shape, {}, view, {}, none, target, painter);
            }
        }
        EXPECT_GT(cache.pictureBytes(), 0u);
        shape.reset();
        for (uint64_t frame = 0; frame < c.keptFor; ++frame) {
            cache.beginFrame(none, 100, 100);
        }
        EXPECT_FALSE(watch.expired()); // still drawn recently: kept
        for (uint64_t frame = 0; frame < 10; ++frame) {
            cache.beginFrame(none, 100, 100);
        }
        EXPECT_EQ(cache.pictureBytes(), 0u);
        EXPECT_EQ(cache.entryCount(), 0u);
        EXPECT_TRUE(watch.expired());
    }
}

TEST(RasterPictureReuse, ComposingFourAtATimeMatchesPixelByPixel) {
    // Opaque, empty and mixed groups of four, and a tail, against over() one pixel at a time.
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1664525u + 1013904223u; };
    for (int len : {0, 1, 3, 4, 7, 16, 33}) {
        const auto count = static_cast<std::size_t>(len);
        std::vector<uint32_t> src(count), dst(count), expected;
        for (int i = 0; i < len; ++i) {
            const uint32_t kind = next() % 4;
            const uint32_t a = kind == 0 ? 255 : kind == 1 ? 0 : next() % 256;
            const uint32_t r = a ? next() % (a + 1) : 0, g = a ? next() % (a + 1) : 0;
            src[std::size_t(i)] = raster::packPixel(r, g, a ? next() % (a + 1) : 0, a);
            dst[std::size_t(i)] = raster::packPixel(next() % 256, next() % 256, next() % 256, 255);
        }
        if (len >= 8) {
            std::fill(src.begin(), src.begin() + 4, raster::packPixel(1, 2, 3, 255));
            std::fill(src.begin() + 4, src.begin() + 8, 0u);
        }
        for (int i = 0; i < len; ++i) {
            expected.push_back(raster::over(dst[std::size_t(i)], src[std::size_t(i)]));
        }
        raster::composeOver(dst.data(), src.data(), len, nullptr);
        EXPECT_EQ(dst, expected) << len;
    }
}

} // namespace
} // namespace swivio::swf
