#include <gtest/gtest.h>

#include "crop/watermark_picture.h"
#include "tests/support/bitmap_tags.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

TEST(WatermarkPicture, ShrunkSizes) {
    using Size = std::pair<int, int>;
    EXPECT_EQ(watermarkPictureSize(2000, 500), Size(1000, 250));
    EXPECT_EQ(watermarkPictureSize(500, 2000), Size(250, 1000));
    EXPECT_EQ(watermarkPictureSize(1000, 1000), Size(1000, 1000));
    EXPECT_EQ(watermarkPictureSize(1001, 10), Size(1000, 9));
    EXPECT_EQ(watermarkPictureSize(2000, 2000), Size(1000, 1000));
    EXPECT_EQ(watermarkPictureSize(40, 30), Size(40, 30));
    // A sliver keeps one pixel instead of vanishing.
    EXPECT_EQ(watermarkPictureSize(5000, 1), Size(1000, 1));
}

TEST(WatermarkPicture, LoadingMessagesAndShrinking) {
    testkit::TempDir dir;
    const std::string wide = dir.file("wide.BMP");
    // 1200 x 300: left half red, right half blue.
    testkit::writeFileBytes(wide, testkit::makeBmp(24, 1200, 300, false, [](int x, int) {
                                return x < 600 ? makeColor(255, 0, 0) : makeColor(0, 0, 255);
                            }));
    auto loaded = loadWatermarkPicture(wide);
    ASSERT_TRUE(loaded) << loaded.message();
    const PictureImage& picture = **loaded;
    EXPECT_EQ(picture.width(), 1000);
    EXPECT_EQ(picture.height(), 250);
    EXPECT_EQ(picture.pixel(0, 0), makeColor(255, 0, 0));
    EXPECT_EQ(picture.pixel(499, 249), makeColor(255, 0, 0));
    EXPECT_EQ(picture.pixel(500, 0), makeColor(0, 0, 255));
    EXPECT_EQ(picture.pixel(999, 100), makeColor(0, 0, 255));

    const std::string unsupported = dir.file("logo.tif");
    testkit::writeFileBytes(unsupported, {1, 2, 3});
    auto refused = loadWatermarkPicture(unsupported);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.message(), "Unsupported file type!");

    const std::string damaged = dir.file("logo.png");
    testkit::writeFileBytes(damaged, {1, 2, 3});
    auto bad = loadWatermarkPicture(damaged);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.message(), "The file format is not correct!");
    EXPECT_FALSE(bad.detail().empty());

    auto missing = loadWatermarkPicture(dir.file("none.gif"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.message(), "The file format is not correct!");
}

// A PNG's alpha channel comes with the picture, also when it is shrunk; an opaque PNG has
// none.
TEST(WatermarkPicture, KeepsThePngAlphaChannel) {
    testkit::TempDir dir;
    for (const int width : {8, 1600}) {
        testkit::RgbaPicture rgba{width, 4, std::vector<uint8_t>(std::size_t(width) * 4 * 4, 255)};
        for (int x = 0; x < width / 2; ++x)
            rgba.rgba[std::size_t(x) * 4 + 3] = 0; // left half of the top row transparent
        const std::string path = dir.file("logo" + std::to_string(width) + ".png");
        testkit::writeFileBytes(path, testkit::encodePng(rgba));
        auto loaded = loadWatermarkPicture(path);
        ASSERT_TRUE(loaded) << loaded.report(path);
        const PictureImage& picture = **loaded;
        ASSERT_TRUE(picture.hasAlpha());
        EXPECT_EQ(picture.alphaAt(0, 0), 0) << width;
        EXPECT_EQ(picture.alphaAt(picture.width() - 1, 0), 255) << width;
        EXPECT_EQ(picture.alphaAt(0, picture.height() - 1), 255) << width;
    }
    testkit::RgbaPicture opaque{4, 4, std::vector<uint8_t>(64, 255)};
    testkit::writeFileBytes(dir.file("opaque.png"), testkit::encodePng(opaque));
    auto loaded = loadWatermarkPicture(dir.file("opaque.png"));
    ASSERT_TRUE(loaded);
    EXPECT_FALSE((*loaded)->hasAlpha());
}

} // namespace
} // namespace swivio
