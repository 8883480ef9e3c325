#include <chrono>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/swf/raster/raster_test_util.h"

namespace swivio::swf {
namespace {

using namespace testing;

const Rgba kBlack = rgb(0, 0, 0);
const Rgba kRed = rgb(255, 0, 0);
const Rgba kGround = rgb(10, 20, 30);

std::shared_ptr<Shape> square(double x0, double y0, double x1, double y1, Rgba c = kRed) {
    return makeShape({solidFill(c)}, rectangle(x0, y0, x1, y1));
}

Frame renderWith(const RenderCommandList& commands, const RenderViewport& viewport, int w, int h) {
    Frame frame(w, h);
    frame.fill(makeColor(kGround.r, kGround.g, kGround.b));
    MapBitmaps bitmaps;
    Renderer renderer;
    renderer.render(commands, bitmaps, viewport, frame);
    return frame;
}

TEST(RasterViewport, StageIsScaledToThePlayerSize) {
    // A 40 x 20 stage shown at 80 x 60: x doubled, y tripled.
    RenderViewport v = identityViewport(40, 20);
    v.playerWidth = 80;
    v.playerHeight = 60;
    v.clipWidth = 80;
    v.clipHeight = 60;
    const Frame f = renderWith({draw(square(10, 5, 20, 10))}, v, 80, 60);
    EXPECT_EQ(at(f, 20, 15), kRed);
    EXPECT_EQ(at(f, 39, 29), kRed);
    EXPECT_EQ(at(f, 19, 20), kGround);
    EXPECT_EQ(at(f, 40, 20), kGround);
    EXPECT_EQ(at(f, 30, 14), kGround);
    EXPECT_EQ(at(f, 30, 30), kGround);
}

TEST(RasterViewport, StageOriginIsItsRectCorner) {
    RenderViewport v = identityViewport(40, 40);
    v.stage = {100 * kTwips, 140 * kTwips, 50 * kTwips, 90 * kTwips};
    const Frame f = renderWith({draw(square(100, 50, 110, 60))}, v, 40, 40);
    EXPECT_EQ(at(f, 5, 5), kRed);
    EXPECT_EQ(at(f, 15, 15), kGround);
}

TEST(RasterViewport, GrabOriginShiftsThePicture) {
    RenderViewport v = identityViewport(40, 40);
    v.originX = 10;
    v.originY = -5;
    const Frame f = renderWith({draw(square(20, 20, 30, 30))}, v, 40, 40);
    EXPECT_EQ(at(f, 10, 25), kRed);
    EXPECT_EQ(at(f, 19, 34), kRed);
    EXPECT_EQ(at(f, 20, 25), kGround);
    EXPECT_EQ(at(f, 10, 24), kGround);
}

TEST(RasterViewport, PixelsOutsideTheClipRectangleAreUntouched) {
    RenderViewport v = identityViewport(40, 40);
    v.clipX = 8;
    v.clipY = 4;
    v.clipWidth = 24;
    v.clipHeight = 30;
    // Everything the renderer can do at once: a fill, a wide line, a blurred layer and an
    // erasing layer, all covering the whole frame.
    LineStyle wide;
    wide.width = 60 * kTwips;
    wide.color = rgb(0, 255, 0);
    Filter blur;
    blur.type = Filter::Type::Blur;
    blur.blurX = blur.blurY = 4;
    const RenderCommandList list{
        draw(makeShape({solidFill(kRed)}, rectangle(-10, -10, 50, 50, 1, 1), {wide})),
        pushLayer(BlendMode::Layer),
        pushLayer(BlendMode::Normal, {blur}),
        draw(square(0, 0, 40, 40, rgb(0, 0, 255))),
        command(RenderCommand::Kind::PopLayer),
        pushLayer(BlendMode::Erase),
        draw(square(0, 0, 40, 20)),
        command(RenderCommand::Kind::PopLayer),
        command(RenderCommand::Kind::PopLayer)};
    const Frame f = renderWith(list, v, 40, 40);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool inside = x >= 8 && x < 32 && y >= 4 && y < 34;
            if (!inside) {
                ASSERT_EQ(at(f, x, y), kGround) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(at(f, 20, 25), rgb(0, 0, 255));
    EXPECT_EQ(at(f, 20, 10), rgb(0, 255, 0)); // erased through the layer to the line
}

TEST(RasterViewport, EmptyOrInvalidViewportsDrawNothing) {
    const RenderCommandList list{draw(square(0, 0, 40, 40))};
    RenderViewport v = identityViewport(40, 40);
    for (int variant = 0; variant < 6; ++variant) {
        RenderViewport bad = v;
        switch (variant) {
        case 0:
            bad.clipWidth = 0;
            break;
        case 1:
            bad.playerWidth = 0;
            break;
        case 2:
            bad.stage.xMax = bad.stage.xMin;
            break;
        case 3:
            bad.clipX = 1000;
            break;
        case 4:
            bad.stage.yMax = -5;
            break;
        case 5: // the most negative corner: the square shrinks into the far corner
            bad.stage.xMin = bad.stage.yMin = std::numeric_limits<int32_t>::min();
            break;
        }
        const Frame f = renderWith(list, bad, 40, 40);
        EXPECT_EQ(at(f, 20, 20), kGround) << "variant " << variant;
    }
    // A clip rectangle larger than the frame is cut to the frame.
    RenderViewport big = v;
    big.clipX = -100;
    big.clipY = -100;
    big.clipWidth = 1000;
    big.clipHeight = 1000;
    EXPECT_EQ(at(renderWith(list, big, 40, 40), 39, 39), kRed);
}

TEST(RasterViewport, RendererIsReusableAcrossSizes) {
    Renderer renderer;
    MapBitmaps bitmaps;
    for (int size : {40, 24, 40, 64}) {
        Frame frame(size, size);
        frame.fill(0);
        renderer.render({draw(square(0, 0, 10, 10))}, bitmaps, identityViewport(size, size), frame);
        EXPECT_EQ(at(frame, 5, 5), kRed) << size;
        EXPECT_EQ(at(frame, 15, 15), kBlack) << size;
    }
}

// Hostile input: never a crash, a hang or unbounded memory; what makes no sense is skipped.

TEST(RasterRobustness, BrokenMatricesSkipTheDraw) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (Matrix m : {Matrix{nan, 0, 0, 1, 0, 0}, Matrix{1, 0, 0, 1, inf, 0},
                     Matrix{0, 0, 0, 0, 0, 0}, Matrix{1e300, 0, 0, 1e300, 0, 0}}) {
        const Frame f = renderFrame({draw(square(1, 1, 2, 2), m)}, 40, 40, kGround);
        // Whatever is drawn, nothing crashes; a NaN or zero matrix draws nothing.
        if (m.a != m.a || m.a == 0) {
            EXPECT_EQ(at(f, 20, 20), kGround);
        }
    }
    // A fill matrix of zero scale: gradients show their end colour, bitmaps nothing.
    auto fill = gradientFill(FillType::RadialGradient, {{0, rgb(0, 0, 0)}, {255, kRed}},
                             Matrix{0, 0, 0, 0, 0, 0});
    const Frame g = renderFrame({draw(makeShape({fill}, rectangle(0, 0, 40, 40)))});
    EXPECT_EQ(at(g, 20, 20), kRed);
}

TEST(RasterRobustness, HugeCoordinatesAreClipped) {
    const int32_t big = std::numeric_limits<int32_t>::max();
    Edge e1{-big, -big, 0, 0, big, -big, false, 0, 1, 0};
    Edge e2{big, -big, 0, 0, big, big, false, 0, 1, 0};
    Edge e3{big, big, 0, 0, -big, big, false, 0, 1, 0};
    Edge e4{-big, big, big, -big, -big, -big, true, 0, 1, 0};
    const Frame f = renderFrame(
        {draw(makeShape({solidFill(kRed)}, {e1, e2, e3, e4}), Matrix{1000, 0, 0, 1000, 0, 0})});
    EXPECT_EQ(at(f, 20, 20), kRed);
    EXPECT_EQ(at(f, 0, 39), kRed);
}

TEST(RasterViewport, CurvesOutsideTheFrameStillBoundTheirFill) {
    // A shape reaching far beyond the frame on every side through curved edges, with a
    // hole in the middle: what lies inside the frame is filled exactly as if the curves were
    // followed out there.
    auto curve = [](double x0, double y0, double cx, double cy, double x1, double y1) {
        Edge e = line(x0, y0, x1, y1, 0, 1);
        e.curved = true;
        e.cx = int32_t(cx * kTwips);
        e.cy = int32_t(cy * kTwips);
        return e;
    };
    std::vector<Edge> edges = {
        curve(-100, -100, 20, -400, 140, -100), curve(140, -100, 400, 20, 140, 140),
        curve(140, 140, 20, 400, -100, 140), curve(-100, 140, -400, 20, -100, -100)};
    const auto hole = polygon({{15, 15}, {15, 25}, {25, 25}, {25, 15}}, 0, 1);
    edges.insert(edges.end(), hole.begin(), hole.end());
    const Frame f = renderFrame({draw(makeShape({solidFill(kRed)}, edges))}, 40, 40, kGround);
    for (auto [x, y] : {std::pair{0, 0}, {39, 0}, {0, 39}, {39, 39}, {10, 20}, {30, 20}}) {
        EXPECT_EQ(at(f, x, y), kRed) << x << "," << y;
    }
    EXPECT_EQ(at(f, 20, 20), kGround);
}

TEST(RasterRobustness, StyleIndicesOutOfRangeAreIgnored) {
    auto edges = polygon({{0, 0}, {40, 0}, {40, 40}, {0, 40}}, 9, 8, 7);
    auto inRange = rectangle(10, 10, 20, 20, 1);
    edges.insert(edges.end(), inRange.begin(), inRange.end());
    const Frame f = renderFrame({draw(makeShape({solidFill(kRed)}, edges))}, 40, 40, kGround);
    EXPECT_EQ(at(f, 15, 15), kRed);
    EXPECT_EQ(at(f, 5, 5), kGround); // the big square's styles are all out of range
    auto shape = std::make_shared<Shape>();
    shape->groups.resize(1);
    shape->groups[0].edges = rectangle(0, 0, 40, 40, 3, 3); // no styles at all
    const Frame g = renderFrame({draw(shape)}, 40, 40, kGround);
    EXPECT_EQ(at(g, 20, 20), kGround);
}

TEST(RasterRobustness, UnbalancedCommandsAreTolerated) {
    using K = RenderCommand::Kind;
    const auto red = draw(square(0, 0, 40, 40));
    const std::vector<RenderCommandList> lists = {
        {command(K::PopLayer), command(K::PopMask), command(K::BeginMasked), red},
        {pushLayer(BlendMode::Normal), red},                     // never popped
        {command(K::PushMask), draw(square(0, 0, 10, 10)), red}, // mask never begun
        {command(K::PushMask), draw(square(0, 0, 40, 40)), command(K::BeginMasked), red},
        {pushLayer(BlendMode::Multiply), command(K::PushMask), command(K::PopLayer), red},
        {command(K::DrawShape)}, // no shape
    };
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const Frame f = renderFrame(lists[i], 40, 40, kGround);
        if (i != 2 && i != 4 && i != 5) {
            EXPECT_EQ(at(f, 20, 20), kRed) << "list " << i;
        }
    }
}

TEST(RasterRobustness, DeepNestingIsBounded) {
    RenderCommandList list;
    for (int i = 0; i < 2000; ++i) {
        list.push_back(pushLayer(BlendMode::Normal));
        list.push_back(command(RenderCommand::Kind::PushMask));
        list.push_back(draw(square(0, 0, 40, 40)));
        list.push_back(command(RenderCommand::Kind::BeginMasked));
    }
    list.push_back(draw(square(0, 0, 40, 40)));
    for (int i = 0; i < 2000; ++i) {
        list.push_back(command(RenderCommand::Kind::PopMask));
        list.push_back(command(RenderCommand::Kind::PopLayer));
    }
    list.push_back(draw(square(0, 0, 10, 10, rgb(0, 255, 0))));
    const auto start = std::chrono::steady_clock::now();
    const Frame f = renderFrame(list, 40, 40, kGround);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(at(f, 5, 5), rgb(0, 255, 0)); // drawing continues after the nest
}

TEST(RasterRobustness, ManyEdgesAndWildCurvesFinish) {
    std::vector<Edge> edges;
    for (int i = 0; i < 60000; ++i) {
        Edge e;
        const int64_t k = i;
        e.x0 = int32_t(k * 7919 % 800);
        e.y0 = int32_t(k * 104729 % 800);
        e.x1 = int32_t(k * 15485863 % 800);
        e.y1 = int32_t(k * 32452843 % 800);
        e.cx = (i % 2) ? 2000000000 : -2000000000;
        e.cy = -e.cx;
        e.curved = i % 3 == 0;
        e.fill0 = uint16_t(i % 3);
        e.fill1 = uint16_t((i + 1) % 3);
        e.line = uint16_t(i % 2);
        edges.push_back(e);
    }
    LineStyle huge;
    huge.width = 65535;
    huge.color = kRed;
    const auto shape = makeShape({solidFill(kRed), solidFill(rgb(0, 0, 255, 10))}, edges, {huge});
    const Frame f = renderFrame({draw(shape, Matrix{50, 0, 0, 50, 0, 0})}, 40, 40, kGround);
    EXPECT_EQ(f.width(), 40);
}

TEST(RasterRobustness, HostileFiltersAreBounded) {
    Filter blur;
    blur.type = Filter::Type::Blur;
    blur.blurX = blur.blurY = 1e30f;
    blur.passes = 1000000;
    Filter shadow;
    shadow.type = Filter::Type::DropShadow;
    shadow.distance = std::numeric_limits<float>::infinity();
    shadow.strength = std::numeric_limits<float>::quiet_NaN();
    shadow.angle = std::numeric_limits<float>::quiet_NaN();
    Filter conv;
    conv.type = Filter::Type::Convolution;
    conv.matrixX = 255;
    conv.matrixY = 255;
    conv.convolution.assign(255 * 255, 1.0f);
    Filter gradientGlow;
    gradientGlow.type = Filter::Type::GradientGlow; // no stops
    const auto start = std::chrono::steady_clock::now();
    const Frame f =
        renderFrame({pushLayer(BlendMode::Normal, {blur, shadow, conv, gradientGlow}),
                     draw(square(10, 10, 30, 30)), command(RenderCommand::Kind::PopLayer)},
                    40, 40, kGround);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(f.width(), 40);
}

// Painting over a background colour writes the whole clip rectangle and nothing outside it,
// whatever the frame held, also where nothing can be drawn or the surface ends.
TEST(RasterViewport, BackgroundColourFillsExactlyTheClipRectangle) {
    const uint32_t sky = makeColor(90, 160, 250);
    const uint32_t old = makeColor(kGround.r, kGround.g, kGround.b);
    MapBitmaps bitmaps;
    Renderer renderer;
    RenderViewport v = identityViewport(40, 30);
    v.clipX = 5;
    v.clipY = 4;
    v.clipWidth = 20;
    v.clipHeight = 10;
    Frame frame(40, 30);
    frame.fill(old);
    renderer.render({draw(square(10, 6, 12, 8))}, bitmaps, v, frame, sky);
    EXPECT_EQ(frame.pixel(5, 4), sky);
    EXPECT_EQ(frame.pixel(24, 13), sky);
    EXPECT_EQ(frame.pixel(11, 7), makeColor(255, 0, 0));
    EXPECT_EQ(frame.pixel(4, 4), old);
    EXPECT_EQ(frame.pixel(25, 13), old);
    EXPECT_EQ(frame.pixel(5, 14), old);

    // A stage with no area draws nothing, but the colour still goes down.
    RenderViewport empty = v;
    empty.stage = {0, 0, 0, 0};
    frame.fill(old);
    renderer.render({draw(square(10, 6, 12, 8))}, bitmaps, empty, frame, sky);
    EXPECT_EQ(frame.pixel(11, 7), sky);
    EXPECT_EQ(frame.pixel(4, 4), old);

    // Where an erasing layer punches through at the top, the background colour shows, not
    // what the frame held before.
    frame.fill(old);
    renderer.render({pushLayer(BlendMode::Layer), draw(square(5, 4, 25, 14)),
                     pushLayer(BlendMode::Erase), draw(square(10, 6, 12, 8)),
                     command(RenderCommand::Kind::PopLayer),
                     command(RenderCommand::Kind::PopLayer)},
                    bitmaps, v, frame, sky);
    EXPECT_EQ(frame.pixel(11, 7), sky);
    EXPECT_EQ(frame.pixel(20, 10), makeColor(255, 0, 0));

    // Wider than the largest working surface: the columns past it get the colour too.
    Frame wide(16400, 2);
    wide.fill(old);
    renderer.render({}, bitmaps, identityViewport(16400, 2), wide, sky);
    EXPECT_EQ(wide.pixel(16383, 1), sky);
    EXPECT_EQ(wide.pixel(16399, 1), sky);
}

} // namespace
} // namespace swivio::swf
