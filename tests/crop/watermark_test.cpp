#include <gtest/gtest.h>

#include "encode/image/picture_image.h"
#include "crop/watermark.h"

namespace swivio {
namespace {

constexpr uint32_t kRed = makeColor(255, 0, 0);
constexpr uint32_t kBlue = makeColor(0, 0, 255);
constexpr uint32_t kGrey = makeColor(100, 100, 100);

// A 2 x 2 watermark: red, blue on top; blue, red below.
std::shared_ptr<PictureImage> checker() {
    auto picture = std::make_shared<PictureImage>(2, 2, 24);
    const uint32_t colors[2][2] = {{kRed, kBlue}, {kBlue, kRed}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            uint8_t* p = picture->topRow(y) + x * 3;
            p[0] = colorBlue(colors[y][x]);
            p[1] = colorGreen(colors[y][x]);
            p[2] = colorRed(colors[y][x]);
        }
    return picture;
}

struct MarkScene {
    ConversionSettings settings;
    FrameGeometry geometry;
    std::shared_ptr<PictureImage> picture = checker();
    MarkScene() {
        settings.watermarkEnabled = true;
        geometry.outputWidth = 16;
        geometry.outputHeight = 8;
        geometry.contentWidth = 16;
        geometry.contentHeight = 8;
        geometry.outputMarkWidth = 4;
        geometry.outputMarkHeight = 4;
    }
    Frame draw() const {
        Frame frame(16, 8);
        frame.fill(kGrey);
        WatermarkStamp(settings, geometry, picture.get(), 16, 8).apply(frame);
        return frame;
    }
};

TEST(WatermarkStamp, OpaqueStretchRepeatsPixels) {
    MarkScene s;
    s.geometry.outputMarkX = 3;
    s.geometry.outputMarkY = 1;
    const Frame frame = s.draw();
    // 2 x 2 stretched to 4 x 4 at (3, 1): each source pixel covers a 2 x 2 block.
    EXPECT_EQ(frame.pixel(3, 1), kRed);
    EXPECT_EQ(frame.pixel(4, 2), kRed);
    EXPECT_EQ(frame.pixel(5, 1), kBlue);
    EXPECT_EQ(frame.pixel(6, 2), kBlue);
    EXPECT_EQ(frame.pixel(3, 3), kBlue);
    EXPECT_EQ(frame.pixel(6, 4), kRed);
    EXPECT_EQ(frame.pixel(2, 1), kGrey);
    EXPECT_EQ(frame.pixel(7, 1), kGrey);
    EXPECT_EQ(frame.pixel(3, 0), kGrey);
    EXPECT_EQ(frame.pixel(3, 5), kGrey);
}

TEST(WatermarkStamp, ShrinkDropsPixels) {
    MarkScene s;
    s.geometry.outputMarkWidth = 1;
    s.geometry.outputMarkHeight = 1;
    const Frame frame = s.draw();
    EXPECT_EQ(frame.pixel(0, 0), kRed); // the top-left source pixel
    EXPECT_EQ(frame.pixel(1, 0), kGrey);
}

TEST(WatermarkStamp, PlacedInTheContentAreaBesideTheBars) {
    MarkScene s;
    // Content 8 wide in a 16-wide frame: bars of 4 on each side; 6 high in 8: 1 above.
    s.geometry.contentWidth = 8;
    s.geometry.contentHeight = 6;
    s.geometry.outputMarkX = 0;
    s.geometry.outputMarkY = 0;
    s.geometry.outputMarkWidth = 2;
    s.geometry.outputMarkHeight = 2;
    const Frame frame = s.draw();
    EXPECT_EQ(frame.pixel(3, 1), kGrey);
    EXPECT_EQ(frame.pixel(4, 1), kRed);
    EXPECT_EQ(frame.pixel(5, 1), kBlue);
    EXPECT_EQ(frame.pixel(4, 0), kGrey);
}

TEST(WatermarkStamp, ColourKeyLeavesKeyedPixels) {
    MarkScene s;
    s.settings.watermarkUseTransparentColor = true;
    s.settings.watermarkTransparentColor = kBlue;
    const Frame frame = s.draw();
    EXPECT_EQ(frame.pixel(0, 0), kRed);
    EXPECT_EQ(frame.pixel(2, 0), kGrey); // blue keyed out
    EXPECT_EQ(frame.pixel(0, 2), kGrey);
    EXPECT_EQ(frame.pixel(3, 3), kRed);
}

TEST(WatermarkStamp, ColourKeyTakesPrecedenceOverOpacity) {
    MarkScene s;
    s.settings.watermarkUseTransparentColor = true;
    s.settings.watermarkTransparentColor = kBlue;
    s.settings.watermarkUseTransparency = true;
    s.settings.watermarkTransparency = 10;
    const Frame frame = s.draw();
    EXPECT_EQ(frame.pixel(0, 0), kRed); // drawn opaque, not blended
    EXPECT_EQ(frame.pixel(2, 0), kGrey);
}

struct BlendCase {
    int32_t transparency;
    uint8_t redOverGrey;  // red channel: 255 over 100
    uint8_t blueOverGrey; // red channel of a blue pixel: 0 over 100
};
class WatermarkOpacity : public testing::TestWithParam<BlendCase> {};

TEST_P(WatermarkOpacity, ConstantBlend) {
    const BlendCase c = GetParam();
    MarkScene s;
    s.settings.watermarkUseTransparency = true;
    s.settings.watermarkTransparency = c.transparency;
    const Frame frame = s.draw();
    EXPECT_EQ(colorRed(frame.pixel(0, 0)), c.redOverGrey);
    EXPECT_EQ(colorRed(frame.pixel(2, 0)), c.blueOverGrey);
    EXPECT_EQ(frame.pixel(10, 6), kGrey);
}

INSTANTIATE_TEST_SUITE_P(Alphas, WatermarkOpacity,
                         testing::Values(BlendCase{255, 255, 0}, BlendCase{0, 100, 100},
                                         // 255 * 128 / 255 + 100 * 127 / 255 = 128 + 49.8 -> 178
                                         BlendCase{128, 178, 50},
                                         // Only the low 8 bits count: 256 + 128 acts as 128.
                                         BlendCase{256 + 128, 178, 50}, BlendCase{64, 139, 75}));

TEST(WatermarkStamp, ClippedAtTheFrameEdges) {
    MarkScene s;
    s.geometry.outputMarkX = 14; // 4 wide from 14: two columns inside
    s.geometry.outputMarkY = -2; // two rows above the frame
    const Frame frame = s.draw();
    EXPECT_EQ(frame.pixel(14, 0), kBlue); // source row 1 (below), column 0
    EXPECT_EQ(frame.pixel(15, 1), kBlue);
    EXPECT_EQ(frame.pixel(14, 2), kGrey);
    EXPECT_EQ(frame.pixel(13, 0), kGrey);

    s.geometry.outputMarkX = 100; // wholly outside
    EXPECT_FALSE(WatermarkStamp(s.settings, s.geometry, s.picture.get(), 16, 8).isActive());
}

TEST(WatermarkStamp, InactiveWithoutPictureOrSwitch) {
    MarkScene s;
    s.settings.watermarkEnabled = false;
    EXPECT_FALSE(WatermarkStamp(s.settings, s.geometry, s.picture.get(), 16, 8).isActive());
    s.settings.watermarkEnabled = true;
    s.picture.reset();
    EXPECT_FALSE(WatermarkStamp(s.settings, s.geometry, s.picture.get(), 16, 8).isActive());
    s.picture = checker();
    s.geometry.outputMarkWidth = 0;
    EXPECT_FALSE(WatermarkStamp(s.settings, s.geometry, s.picture.get(), 16, 8).isActive());
}

} // namespace
} // namespace swivio
