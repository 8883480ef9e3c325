#include <gtest/gtest.h>

#include "crop/watermark_rules.h"
#include "encode/image/picture_image.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

struct RectCase {
    int pictureWidth, pictureHeight, cropWidth, cropHeight;
    int width, height;
};
class DefaultWatermarkRects : public testing::TestWithParam<RectCase> {};

TEST_P(DefaultWatermarkRects, FitHalfTheCropWithTheAspectKept) {
    const RectCase& c = GetParam();
    const WatermarkRect r =
        defaultWatermarkRect(c.pictureWidth, c.pictureHeight, c.cropWidth, c.cropHeight);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.width, c.width);
    EXPECT_EQ(r.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(Cases, DefaultWatermarkRects,
                         testing::Values(RectCase{40, 20, 200, 100, 40, 20},
                                         RectCase{400, 100, 200, 100, 100, 25},
                                         RectCase{100, 400, 200, 100, 12, 50},
                                         RectCase{1000, 1, 200, 100, 100, 1},
                                         RectCase{5, 5, 3, 3, 1, 1}));

TEST(WatermarkRules, SetWatermarkTurnsItOnOrLeavesTheSettings) {
    testkit::TempDir dir;
    const std::string logo = dir.file("logo.bmp");
    testkit::writeFileBytes(logo, testkit::makeBmp(24, 80, 40, false,
                                                   [](int, int) { return makeColor(1, 2, 3); }));
    ConversionSettings s;
    s.cropWidth = 100;
    s.cropHeight = 100;
    WatermarkChoice choice;
    choice.file = logo;
    choice.opacity = 300;
    EXPECT_FALSE(setWatermark(s, choice));
    EXPECT_FALSE(s.watermarkEnabled);

    choice.opacity = 128;
    auto picture = setWatermark(s, choice);
    ASSERT_TRUE(picture) << picture.message();
    EXPECT_EQ((*picture)->width(), 80);
    EXPECT_TRUE(s.watermarkEnabled);
    EXPECT_EQ(s.watermarkFile, logo);
    EXPECT_EQ(s.watermarkWidth, 50); // half the crop, 2:1 kept
    EXPECT_EQ(s.watermarkHeight, 25);
    EXPECT_TRUE(s.watermarkUseTransparency);
    EXPECT_EQ(s.watermarkTransparency, 128);

    ConversionSettings other;
    choice.file = dir.file("missing.png");
    auto missing = setWatermark(other, choice);
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.message().find("missing.png"), std::string::npos) << missing.message();
    EXPECT_FALSE(other.watermarkEnabled);
}

} // namespace
} // namespace swivio
