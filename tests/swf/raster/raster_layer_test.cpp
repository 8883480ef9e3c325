#include <gtest/gtest.h>

#include "tests/swf/raster/raster_test_util.h"

namespace swivio::swf {
namespace {

using namespace testing;

const Rgba kBlack = rgb(0, 0, 0);
const Rgba kWhite = rgb(255, 255, 255);
const Rgba kRed = rgb(255, 0, 0);
const Rgba kGround = rgb(100, 150, 200);

std::shared_ptr<Shape> square(double x0, double y0, double x1, double y1, Rgba c) {
    return makeShape({solidFill(c)}, rectangle(x0, y0, x1, y1));
}

RenderCommandList inLayer(RenderCommand push, RenderCommandList content) {
    RenderCommandList list{std::move(push)};
    list.insert(list.end(), content.begin(), content.end());
    list.push_back(command(RenderCommand::Kind::PopLayer));
    return list;
}

struct BlendCase {
    BlendMode mode;
    Rgba expected; // of rgb(200, 100, 50) blended onto kGround
};

class RasterBlend : public ::testing::TestWithParam<BlendCase> {};

TEST_P(RasterBlend, OpaqueColourOntoBackground) {
    const Frame f = renderFrame(
        inLayer(pushLayer(GetParam().mode), {draw(square(10, 10, 30, 30, rgb(200, 100, 50)))}), 40,
        40, kGround);
    EXPECT_TRUE(near(at(f, 20, 20), GetParam().expected, 1))
        << ::testing::PrintToString(at(f, 20, 20));
    EXPECT_EQ(at(f, 5, 5), kGround); // outside the layer's drawing nothing changes
}

INSTANTIATE_TEST_SUITE_P(Modes, RasterBlend,
                         ::testing::Values(BlendCase{BlendMode::Normal, rgb(200, 100, 50)},
                                           BlendCase{BlendMode::Layer, rgb(200, 100, 50)},
                                           BlendCase{BlendMode::Multiply, rgb(78, 59, 39)},
                                           BlendCase{BlendMode::Screen, rgb(222, 191, 211)},
                                           BlendCase{BlendMode::Lighten, rgb(200, 150, 200)},
                                           BlendCase{BlendMode::Darken, rgb(100, 100, 50)},
                                           BlendCase{BlendMode::Difference, rgb(100, 50, 150)},
                                           BlendCase{BlendMode::Add, rgb(255, 250, 250)},
                                           BlendCase{BlendMode::Subtract, rgb(0, 50, 150)},
                                           BlendCase{BlendMode::Invert, rgb(155, 105, 55)},
                                           BlendCase{BlendMode::HardLight, rgb(188, 118, 78)},
                                           BlendCase{BlendMode::Overlay, rgb(157, 127, 167)}));

TEST(RasterBlendLayer, EraseAndAlphaActOnTheEnclosingLayer) {
    // A red layer; the child erases its left half, leaving the background visible.
    const RenderCommandList erase =
        inLayer(pushLayer(BlendMode::Layer),
                {draw(square(0, 0, 40, 40, kRed)),
                 inLayer(pushLayer(BlendMode::Erase), {draw(square(0, 0, 20, 40, kWhite))})[0],
                 draw(square(0, 0, 20, 40, kWhite)), command(RenderCommand::Kind::PopLayer)});
    const Frame f = renderFrame(erase, 40, 40, kGround);
    EXPECT_EQ(at(f, 10, 20), kGround);
    EXPECT_EQ(at(f, 30, 20), kRed);

    // The child's alpha (a half) becomes the layer's alpha where it draws.
    RenderCommandList alpha{pushLayer(BlendMode::Layer),
                            draw(square(0, 0, 40, 40, kRed)),
                            pushLayer(BlendMode::Alpha),
                            draw(square(0, 0, 20, 40, rgb(255, 255, 255, 128))),
                            command(RenderCommand::Kind::PopLayer),
                            command(RenderCommand::Kind::PopLayer)};
    const Frame g = renderFrame(alpha, 40, 40, kGround);
    EXPECT_TRUE(near(at(g, 10, 20), rgb(178, 75, 100), 2))
        << ::testing::PrintToString(at(g, 10, 20));
    EXPECT_EQ(at(g, 30, 20), kRed);

    // Straight onto the stage there is no layer to act on: nothing changes.
    for (BlendMode mode : {BlendMode::Alpha, BlendMode::Erase}) {
        const Frame h = renderFrame(
            inLayer(pushLayer(mode), {draw(square(0, 0, 40, 40, rgb(255, 255, 255, 128)))}), 40,
            40, kGround);
        EXPECT_EQ(at(h, 20, 20), kGround);
    }
}

TEST(RasterBlendLayer, LayerAlphaAppliesToTheGroupAsAWhole) {
    // Two overlapping opaque squares in a layer at half alpha: the overlap looks like the
    // rest, since the layer is made first and then faded.
    RenderCommand push = pushLayer(BlendMode::Layer);
    push.colorTransform.ma = 0.5f;
    const Frame f = renderFrame(
        inLayer(push, {draw(square(0, 0, 30, 40, kRed)), draw(square(10, 0, 40, 40, kRed))}), 40,
        40, kBlack);
    EXPECT_TRUE(near(at(f, 5, 20), rgb(128, 0, 0), 2));
    EXPECT_EQ(at(f, 20, 20), at(f, 5, 20));
}

TEST(RasterBlendLayer, MaskedLayerIsMasked) {
    RenderCommandList list{command(RenderCommand::Kind::PushMask),
                           draw(square(0, 0, 20, 40, kWhite)),
                           command(RenderCommand::Kind::BeginMasked)};
    const RenderCommandList layer =
        inLayer(pushLayer(BlendMode::Multiply), {draw(square(0, 0, 40, 40, rgb(128, 128, 128)))});
    list.insert(list.end(), layer.begin(), layer.end());
    list.push_back(command(RenderCommand::Kind::PopMask));
    const Frame f = renderFrame(list, 40, 40, kWhite);
    EXPECT_TRUE(near(at(f, 10, 20), rgb(128, 128, 128), 1));
    EXPECT_EQ(at(f, 30, 20), kWhite);
}

// Filters.

Filter blurFilter(float size, int passes = 1) {
    Filter f;
    f.type = Filter::Type::Blur;
    f.blurX = f.blurY = size;
    f.passes = passes;
    return f;
}

TEST(RasterFilter, BlurSpreadsColourAndKeepsTheCentre) {
    const Frame f = renderFrame(inLayer(pushLayer(BlendMode::Normal, {blurFilter(9, 2)}),
                                        {draw(square(10, 10, 30, 30, kWhite))}),
                                40, 40, kBlack);
    EXPECT_EQ(at(f, 20, 20), kWhite);
    EXPECT_GT(at(f, 7, 20).r, 20);   // spread outside the square
    EXPECT_LT(at(f, 10, 20).r, 255); // and softened its edge
    EXPECT_EQ(at(f, 1, 1), kBlack);  // not further than two passes of a 9-pixel box reach
    EXPECT_TRUE(near(at(f, 7, 20), at(f, 32, 20), 2));
}

TEST(RasterFilter, BlurOfOneIsNoBlur) {
    const Frame f = renderFrame(inLayer(pushLayer(BlendMode::Normal, {blurFilter(1)}),
                                        {draw(square(15, 15, 25, 25, kWhite))}),
                                40, 40, kBlack);
    EXPECT_EQ(at(f, 14, 20), kBlack);
    EXPECT_EQ(at(f, 15, 20), kWhite);
}

TEST(RasterFilter, DropShadowFallsAwayFromTheLight) {
    Filter shadow;
    shadow.type = Filter::Type::DropShadow;
    shadow.color = rgb(0, 0, 255);
    shadow.distance = 6;
    shadow.angle = 0; // to the right
    shadow.blurX = shadow.blurY = 2;
    const Frame f = renderFrame(
        inLayer(pushLayer(BlendMode::Normal, {shadow}), {draw(square(10, 10, 20, 20, kWhite))}), 40,
        40, kBlack);
    EXPECT_EQ(at(f, 15, 15), kWhite); // the object stays on top
    EXPECT_GT(at(f, 23, 15).b, 150);  // shadow to the right
    EXPECT_EQ(at(f, 6, 15), kBlack);  // none to the left

    shadow.knockout = true;
    const Frame k = renderFrame(
        inLayer(pushLayer(BlendMode::Normal, {shadow}), {draw(square(10, 10, 20, 20, kWhite))}), 40,
        40, kBlack);
    EXPECT_EQ(at(k, 12, 15), kBlack); // the object itself is knocked out
    EXPECT_GT(at(k, 23, 15).b, 150);
}

TEST(RasterFilter, GlowSurroundsAndInnerGlowStaysInside) {
    Filter glow;
    glow.type = Filter::Type::Glow;
    glow.color = kRed;
    glow.blurX = glow.blurY = 6;
    glow.strength = 2;
    const auto content = RenderCommandList{draw(square(15, 15, 25, 25, rgb(0, 0, 255)))};
    const Frame outer = renderFrame(inLayer(pushLayer(BlendMode::Normal, {glow}), content));
    EXPECT_GT(at(outer, 13, 20).r, 60);
    EXPECT_GT(at(outer, 26, 20).r, 60);
    EXPECT_EQ(at(outer, 20, 20), rgb(0, 0, 255));

    glow.inner = true;
    const Frame inner = renderFrame(inLayer(pushLayer(BlendMode::Normal, {glow}), content));
    EXPECT_EQ(at(inner, 13, 20), kBlack);
    EXPECT_GT(at(inner, 15, 20).r, 60);
    EXPECT_LT(at(inner, 20, 20).r, at(inner, 15, 20).r);
}

TEST(RasterFilter, BevelLightsOneSideAndShadesTheOther) {
    Filter bevel;
    bevel.type = Filter::Type::Bevel;
    bevel.highlight = kWhite;
    bevel.color = rgb(0, 0, 0);
    bevel.blurX = bevel.blurY = 4;
    bevel.distance = 2;
    bevel.angle = 0.785398f;
    bevel.inner = true;
    const Frame f = renderFrame(inLayer(pushLayer(BlendMode::Normal, {bevel}),
                                        {draw(square(10, 10, 30, 30, rgb(128, 128, 128)))}),
                                40, 40, kRed);
    EXPECT_GT(at(f, 11, 11).g, 128); // lit corner
    EXPECT_LT(at(f, 28, 28).g, 128); // shaded corner
    EXPECT_EQ(at(f, 5, 5), kRed);    // an inner bevel stays inside
}

TEST(RasterFilter, ColorMatrixSwapsChannels) {
    Filter m;
    m.type = Filter::Type::ColorMatrix;
    const float swap[20] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    std::copy(std::begin(swap), std::end(swap), m.colorMatrix);
    const Frame f = renderFrame(inLayer(pushLayer(BlendMode::Normal, {m}),
                                        {draw(square(0, 0, 40, 40, rgb(200, 100, 50)))}));
    EXPECT_EQ(at(f, 20, 20), rgb(50, 100, 200));
}

TEST(RasterFilter, ConvolutionIdentityAndShift) {
    Filter c;
    c.type = Filter::Type::Convolution;
    c.matrixX = 3;
    c.matrixY = 1;
    c.convolution = {1, 0, 0}; // each pixel takes its left neighbour's colour
    const Frame f = renderFrame(
        inLayer(pushLayer(BlendMode::Normal, {c}), {draw(square(10, 10, 20, 20, kWhite))}));
    EXPECT_EQ(at(f, 10, 15), kBlack);
    EXPECT_EQ(at(f, 20, 15), kWhite);

    c.convolution = {1, 0}; // size does not match 3 x 1: ignored
    const Frame g = renderFrame(
        inLayer(pushLayer(BlendMode::Normal, {c}), {draw(square(10, 10, 20, 20, kWhite))}));
    EXPECT_EQ(at(g, 10, 15), kWhite);
}

} // namespace
} // namespace swivio::swf
