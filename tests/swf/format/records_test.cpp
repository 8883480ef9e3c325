#include "swf/format/records.h"

#include <gtest/gtest.h>

#include "tests/support/swf_writer.h"

namespace swivio::swf {
namespace {

using testkit::SwfBits;

TEST(Records, MatrixFieldsLandInTheirPlaces) {
    SwfBits s;
    s.matrix(2.0, -0.5, 0.25, -1.75, -12345, 678);
    s.u8(0xAB); // the next record starts on the next byte
    ByteReader in(s.data());
    const Matrix m = readMatrix(in);
    EXPECT_DOUBLE_EQ(m.a, 2.0);
    EXPECT_DOUBLE_EQ(m.d, -0.5);
    EXPECT_DOUBLE_EQ(m.b, 0.25);  // RotateSkew0
    EXPECT_DOUBLE_EQ(m.c, -1.75); // RotateSkew1
    EXPECT_DOUBLE_EQ(m.tx, -12345);
    EXPECT_DOUBLE_EQ(m.ty, 678);
    EXPECT_EQ(in.u8(), 0xAB);
    EXPECT_TRUE(in.ok());
    // x' = a x + c y + tx; y' = b x + d y + ty
    EXPECT_DOUBLE_EQ(m.mapX(10, 20), 20 - 35 - 12345);
    EXPECT_DOUBLE_EQ(m.mapY(10, 20), 2.5 - 10 + 678);
}

TEST(Records, AbsentMatrixPartsMeanIdentity) {
    SwfBits s;
    s.matrix();
    ByteReader in(s.data());
    EXPECT_EQ(readMatrix(in), Matrix());
    EXPECT_TRUE(in.ok());
}

TEST(Records, ColorTransformWithAlphaScalesBy256AndAdds) {
    const int mult[4] = {128, 256, 512, 64};
    const int add[4] = {-20, 0, 30, 255};
    SwfBits s;
    s.cxform(true, mult, add);
    ByteReader in(s.data());
    const ColorTransform t = readColorTransform(in, true);
    ASSERT_TRUE(in.ok());
    EXPECT_TRUE(in.atEnd());
    EXPECT_FLOAT_EQ(t.mr, 0.5f);
    EXPECT_FLOAT_EQ(t.mb, 2.0f);
    EXPECT_FLOAT_EQ(t.ma, 0.25f);
    EXPECT_FLOAT_EQ(t.ar, -20);
    EXPECT_FLOAT_EQ(t.aa, 255);
    // Clamped per channel after multiplying and adding.
    EXPECT_EQ(t.apply(Rgba{100, 100, 200, 100}), (Rgba{30, 100, 255, 255}));
}

TEST(Records, ColorTransformWithoutAlphaLeavesAlphaAlone) {
    const int mult[4] = {256, 0, 256, 256};
    const int add[4] = {0, 99, 0, 0};
    SwfBits s;
    s.cxform(false, mult, add);
    ByteReader in(s.data());
    const ColorTransform t = readColorTransform(in, false);
    ASSERT_TRUE(in.ok());
    EXPECT_EQ(t.apply(Rgba{1, 2, 3, 77}), (Rgba{1, 99, 3, 77}));
}

TEST(Records, RectKeepsNegativeCoordinates) {
    SwfBits s;
    s.rect(-400, 11000, -20, 8000);
    ByteReader in(s.data());
    EXPECT_EQ(readRect(in), (Rect{-400, 11000, -20, 8000}));
}

TEST(Records, FocalGradientReadsItsFocalPoint) {
    SwfBits s;
    s.u8(0x13);
    s.matrix();
    s.u8((1 << 6) | (1 << 4) | 2); // reflect, linear RGB, two stops
    s.u8(0).u8(1).u8(2).u8(3).u8(4);
    s.u8(255).u8(5).u8(6).u8(7).u8(8);
    s.fixed8(-0.75);
    ByteReader in(s.data());
    const FillStyle f = readFillStyle(in, 4);
    ASSERT_TRUE(in.ok());
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(f.type, FillType::FocalRadialGradient);
    EXPECT_EQ(f.gradient.spread, SpreadMode::Reflect);
    EXPECT_EQ(f.gradient.interpolation, Interpolation::LinearRgb);
    EXPECT_FLOAT_EQ(f.gradient.focalPoint, -0.75f);
    ASSERT_EQ(f.gradient.stops.size(), 2u);
    EXPECT_EQ(f.gradient.stops[1].color, (Rgba{5, 6, 7, 8}));
}

TEST(Records, FilterListReadsBlurAndDropShadow) {
    SwfBits s;
    s.u8(2);
    s.u8(1).fixed16(4.5).fixed16(2).u8(3 << 3); // blur, 3 passes
    s.u8(0).u8(10).u8(20).u8(30).u8(200);       // drop shadow colour
    s.fixed16(6).fixed16(7).fixed16(0.785).fixed16(5).fixed8(1.5);
    s.u8(0x80 | 0x20 | 2); // inner, composite source, 2 passes
    ByteReader in(s.data());
    auto filters = readFilterList(in);
    ASSERT_TRUE(in.ok());
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].type, Filter::Type::Blur);
    EXPECT_FLOAT_EQ(filters[0].blurX, 4.5f);
    EXPECT_EQ(filters[0].passes, 3);
    EXPECT_EQ(filters[1].type, Filter::Type::DropShadow);
    EXPECT_EQ(filters[1].color, (Rgba{10, 20, 30, 200}));
    EXPECT_NEAR(filters[1].angle, 0.785f, 1e-4);
    EXPECT_FLOAT_EQ(filters[1].strength, 1.5f);
    EXPECT_TRUE(filters[1].inner);
    EXPECT_FALSE(filters[1].knockout);
    EXPECT_EQ(filters[1].passes, 2);
}

TEST(Records, BevelFilterLightsWithItsFirstColour) {
    SwfBits s;
    s.u8(1).u8(3);
    s.u8(255).u8(0).u8(0).u8(255); // lights the edges facing the light
    s.u8(0).u8(0).u8(255).u8(255); // shades the others
    s.fixed16(4).fixed16(4).fixed16(0.785).fixed16(5).fixed8(1).u8(0x20 | 1);
    ByteReader in(s.data());
    auto filters = readFilterList(in);
    ASSERT_TRUE(in.ok());
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].type, Filter::Type::Bevel);
    EXPECT_EQ(filters[0].highlight, (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(filters[0].color, (Rgba{0, 0, 255, 255}));
}

TEST(Records, ConvolutionFilterLargerThanItsTagFails) {
    SwfBits s;
    s.u8(1).u8(5).u8(255).u8(255); // a 255 x 255 matrix with no floats after it
    s.u32(0).u32(0);
    ByteReader in(s.data());
    auto filters = readFilterList(in);
    EXPECT_FALSE(in.ok());
    EXPECT_TRUE(filters.empty());
}

TEST(Records, StyleCountsBeyondTheDataFailBeforeAllocating) {
    SwfBits s;
    s.u8(0xFF).u16(0xFFFF); // 65535 fill styles announced, none present
    ByteReader in(s.data());
    auto fills = readFillStyleArray(in, 3);
    EXPECT_FALSE(in.ok());
    EXPECT_TRUE(fills.empty());
}

} // namespace
} // namespace swivio::swf
