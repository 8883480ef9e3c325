#include <optional>
#include <string>

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

// A red pixel over the grey frame: which of the two shows, or a mix strictly between them.
enum class Shows { Frame, Mark, Mix };
Shows redOverGrey(uint32_t pixel) {
    if (pixel == kGrey)
        return Shows::Frame;
    if (pixel == kRed)
        return Shows::Mark;
    EXPECT_GT(colorRed(pixel), colorRed(kGrey));
    EXPECT_LT(colorRed(pixel), 255);
    EXPECT_LT(colorGreen(pixel), colorGreen(kGrey));
    return Shows::Mix;
}

// The colour key, the picture's own alpha and the opacity all apply together. The checker's
// red pixel at (0, 0) carries `alpha`; the blue ones are keyed away when the key is on.
struct CombineCase {
    const char* name;
    bool key;
    std::optional<int> opacity;
    uint8_t alpha;
    Shows red;
};
class WatermarkCombines : public testing::TestWithParam<CombineCase> {};

TEST_P(WatermarkCombines, KeyAlphaAndOpacity) {
    const CombineCase& c = GetParam();
    MarkScene s;
    s.settings.watermarkUseTransparentColor = c.key;
    s.settings.watermarkTransparentColor = kBlue;
    s.settings.watermarkUseTransparency = c.opacity.has_value();
    s.settings.watermarkTransparency = c.opacity.value_or(50);
    if (c.alpha != 255)
        s.picture->setAlpha({c.alpha, 255, 255, 255});
    const Frame frame = s.draw();
    EXPECT_EQ(redOverGrey(frame.pixel(0, 0)), c.red);
    EXPECT_EQ(redOverGrey(frame.pixel(3, 3)), c.opacity ? Shows::Mix : Shows::Mark);
    if (c.key) {
        EXPECT_EQ(frame.pixel(2, 0), kGrey);
    } else {
        EXPECT_NE(frame.pixel(2, 0), kGrey);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WatermarkCombines,
    testing::Values(CombineCase{"KeyWithOpacity", true, 10, 255, Shows::Mix},
                    CombineCase{"TransparentPixel", false, std::nullopt, 0, Shows::Frame},
                    CombineCase{"HalfTransparentPixel", false, std::nullopt, 128, Shows::Mix},
                    CombineCase{"AlphaWithKey", true, std::nullopt, 128, Shows::Mix},
                    CombineCase{"AlphaWithOpacity", false, 200, 0, Shows::Frame},
                    CombineCase{"OpaquePixelWithOpacity", false, 200, 255, Shows::Mix}),
    [](const testing::TestParamInfo<CombineCase>& p) { return std::string(p.param.name); });

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
