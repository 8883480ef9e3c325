#include <gtest/gtest.h>

#include "crop/frame_geometry.h"
#include "settings/conversion_settings.h"

namespace swivio {
namespace {

ConversionSettings aviSettings(int movieW, int movieH, int outW, int outH) {
    ConversionSettings s;
    s.convertType = OutputType::Avi;
    s.movieWidth = movieW;
    s.movieHeight = movieH;
    s.aviWidth = outW;
    s.aviHeight = outH;
    s.cropWidth = movieW;
    s.cropHeight = movieH;
    return s;
}

void setCrop(ConversionSettings& s, int x, int y, int w, int h) {
    s.cropX = x;
    s.cropY = y;
    s.cropWidth = w;
    s.cropHeight = h;
}

TEST(FrameGeometryTest, CropScaledIntoFrameWithoutBars) {
    ConversionSettings s = aviSettings(800, 600, 320, 240);
    setCrop(s, 100, 50, 400, 300);
    const FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.outputWidth, 320);
    EXPECT_EQ(g.outputHeight, 240);
    EXPECT_EQ(g.contentWidth, 320);
    EXPECT_EQ(g.contentHeight, 240);
    EXPECT_EQ(g.playerWidth, 640);
    EXPECT_EQ(g.playerHeight, 480);
    EXPECT_EQ(g.grabOriginX, 80);
    EXPECT_EQ(g.grabOriginY, 40);
}

TEST(FrameGeometryTest, OutputSizeRoundedDownToMultipleOfFourByEven) {
    ConversionSettings s = aviSettings(800, 600, 321, 241);
    const FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.outputWidth, 320);
    EXPECT_EQ(g.outputHeight, 240);
    // 323 x 243 too: the width only drops to the multiple of 4 below.
    s.aviWidth = 323;
    s.aviHeight = 243;
    EXPECT_EQ(computeFrameGeometry(s).outputWidth, 320);
    EXPECT_EQ(computeFrameGeometry(s).outputHeight, 242);
}

TEST(FrameGeometryTest, NarrowCropGetsSideBarsAndWatermarkMovesWithContent) {
    ConversionSettings s = aviSettings(800, 600, 320, 240);
    setCrop(s, 0, 0, 100, 300);
    s.watermarkX = 0;
    s.watermarkY = 0;
    s.watermarkWidth = 50;
    s.watermarkHeight = 30;
    const FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.contentWidth, 80);
    EXPECT_EQ(g.contentHeight, 240);
    EXPECT_EQ((g.outputWidth - g.contentWidth) / 2, 120);
    EXPECT_EQ(g.playerWidth, 640);  // 800 * 80 / 100
    EXPECT_EQ(g.playerHeight, 480); // 240 * 600 / 300
    EXPECT_EQ(g.grabOriginX, -120); // the bars lie left of the displayed movie
    // The watermark sits at the content area's corner: x = 120 in the frame.
    EXPECT_EQ(g.outputMarkX, 0);
    EXPECT_EQ((g.outputWidth - g.contentWidth) / 2 + g.outputMarkX, 120);
    EXPECT_EQ(g.outputMarkWidth, 40);  // 640 * 50 / 800
    EXPECT_EQ(g.outputMarkHeight, 24); // 480 * 30 / 600
}

TEST(FrameGeometryTest, WideCropGetsTopAndBottomBars) {
    ConversionSettings s = aviSettings(800, 600, 320, 240);
    setCrop(s, 0, 100, 800, 200);
    const FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.contentWidth, 320);
    EXPECT_EQ(g.contentHeight, 80); // 320 * 200 / 800
    EXPECT_EQ(g.playerWidth, 320);
    EXPECT_EQ(g.playerHeight, 240);    // 80 * 600 / 200
    EXPECT_EQ(g.grabOriginY, 40 - 80); // 240 * 100 / 600 - (240 - 80) / 2
}

TEST(FrameGeometryTest, EqualAspectFillsWholeFrame) {
    // 550 x 400 into 704 x 512: the same ratio, compared in floating point.
    ConversionSettings s = aviSettings(550, 400, 704, 512);
    const FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.contentWidth, 704);
    EXPECT_EQ(g.contentHeight, 512);
    EXPECT_EQ(g.grabOriginX, 0);
    EXPECT_EQ(g.grabOriginY, 0);
}

TEST(FrameGeometryTest, TruncatesProductsBeforeQuotients) {
    // 333 x 250 into 320 x 240: crop ratio 1.332 < 1.333, so height-bound:
    // contentWidth = 240 * 333 / 250 = 319 (319.68 truncated); playerWidth = 333 * 319 / 333.
    ConversionSettings s = aviSettings(333, 250, 320, 240);
    const FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.contentHeight, 240);
    EXPECT_EQ(g.contentWidth, 319);
    EXPECT_EQ(g.playerWidth, 319);
    EXPECT_EQ(g.playerHeight, 240);
    EXPECT_EQ(g.grabOriginX, 0); // 319 * 0 / 333 - (320 - 319) / 2 = 0 - 0
}

TEST(FrameGeometryTest, WatermarkValuesRoundHalfUp) {
    // playerWidth 640 for a 800-wide movie: factor 0.8. 0.8 * 3 = 2.4 -> 2; 0.8 * 7 = 5.6 -> 6.
    ConversionSettings s = aviSettings(800, 600, 640, 480);
    s.watermarkX = 3;
    s.watermarkWidth = 7;
    s.watermarkY = 5; // 0.8 * 5 = 4.0 -> 4
    s.watermarkHeight = 10;
    ConversionSettings half = aviSettings(800, 600, 400, 300); // factor 0.5
    half.watermarkX = 1;                                       // 0.5 -> 1
    half.watermarkWidth = 3;                                   // 1.5 -> 2
    FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.outputMarkX, 2);
    EXPECT_EQ(g.outputMarkWidth, 6);
    EXPECT_EQ(g.outputMarkY, 4);
    EXPECT_EQ(g.outputMarkHeight, 8);
    g = computeFrameGeometry(half);
    EXPECT_EQ(g.outputMarkX, 1);
    EXPECT_EQ(g.outputMarkWidth, 2);
}

TEST(FrameGeometryTest, RequestedSizeFollowsOutputType) {
    ConversionSettings s = aviSettings(800, 600, 320, 240);
    s.mpegWidth = 720;
    s.mpegHeight = 480;
    s.imageWidth = 101;
    s.imageHeight = 77;
    s.convertType = OutputType::Mpeg;
    EXPECT_EQ(computeFrameGeometry(s).outputWidth, 720);
    EXPECT_EQ(computeFrameGeometry(s).outputHeight, 480);
    s.convertType = OutputType::ImageSeries;
    EXPECT_EQ(computeFrameGeometry(s).outputWidth, 100);
    EXPECT_EQ(computeFrameGeometry(s).outputHeight, 76);
}

// A video file's frame: the AVI size made even (not a multiple of 4), or an HD frame with
// the crop letterboxed into it whatever its shape, the content centred.
struct VideoFileCase {
    const char* name;
    int movieWidth, movieHeight;
    VideoFrameSize size;
    int frameWidth, frameHeight;
    int contentWidth, contentHeight;
};

class VideoFileFrameGeometry : public testing::TestWithParam<VideoFileCase> {};

TEST_P(VideoFileFrameGeometry, FrameIsEvenAndContentFitsCentred) {
    const VideoFileCase& c = GetParam();
    ConversionSettings s = aviSettings(c.movieWidth, c.movieHeight, c.movieWidth, c.movieHeight);
    s.convertType = OutputType::VideoFile;
    s.videoFrameSize = c.size;
    const FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.outputWidth, c.frameWidth);
    EXPECT_EQ(g.outputHeight, c.frameHeight);
    EXPECT_EQ(g.contentWidth, c.contentWidth);
    EXPECT_EQ(g.contentHeight, c.contentHeight);
    // The movie's top-left corner sits where the centred content area starts.
    EXPECT_EQ(g.grabOriginX, -(c.frameWidth - c.contentWidth) / 2);
    EXPECT_EQ(g.grabOriginY, -(c.frameHeight - c.contentHeight) / 2);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, VideoFileFrameGeometry,
    testing::Values(VideoFileCase{"OddMovieSize", 551, 401, VideoFrameSize::Movie, 550, 400, 549,
                                  400},
                    VideoFileCase{"FourThreeInto720", 800, 600, VideoFrameSize::Hd720, 1280, 720,
                                  960, 720},
                    VideoFileCase{"WideInto1080", 1000, 400, VideoFrameSize::Hd1080, 1920, 1080,
                                  1920, 768},
                    VideoFileCase{"PortraitInto720", 300, 600, VideoFrameSize::Hd720, 1280, 720,
                                  360, 720},
                    VideoFileCase{"SixteenNineFills1080", 640, 360, VideoFrameSize::Hd1080, 1920,
                                  1080, 1920, 1080}),
    [](const testing::TestParamInfo<VideoFileCase>& param) {
        return std::string(param.param.name);
    });

// A disc player shows the whole MPEG frame at 4:3 whatever its pixel size, so the content
// area is as many pixels wide as keeps the movie's shape on that screen: a square movie fills
// 3/4 of the width, a 4:3 movie the whole frame, a 16:9 movie 3/4 of the height.
struct DiscCase {
    const char* name;
    int movieWidth;
    int movieHeight;
    int frameWidth;
    int frameHeight;
    int contentWidth;
    int contentHeight;
};

class DiscFrameGeometry : public testing::TestWithParam<DiscCase> {};

TEST_P(DiscFrameGeometry, ContentKeepsItsShapeOnA4By3Screen) {
    const DiscCase& c = GetParam();
    ConversionSettings s = aviSettings(c.movieWidth, c.movieHeight, 320, 240);
    s.convertType = OutputType::Mpeg;
    s.mpegWidth = c.frameWidth;
    s.mpegHeight = c.frameHeight;
    const FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.outputWidth, c.frameWidth);
    EXPECT_EQ(g.outputHeight, c.frameHeight);
    EXPECT_NEAR(g.contentWidth, c.contentWidth, 1);
    EXPECT_NEAR(g.contentHeight, c.contentHeight, 1);
    // The whole movie is displayed at the content area's size: the bars are what is left.
    EXPECT_EQ(g.playerWidth, g.contentWidth);
    EXPECT_EQ(g.playerHeight, g.contentHeight);
    EXPECT_EQ(g.grabOriginX, -(c.frameWidth - g.contentWidth) / 2);
    EXPECT_EQ(g.grabOriginY, -(c.frameHeight - g.contentHeight) / 2);
}

INSTANTIATE_TEST_SUITE_P(Discs, DiscFrameGeometry,
                         testing::Values(DiscCase{"SquareOnDvdNtsc", 500, 500, 720, 480, 540, 480},
                                         DiscCase{"SquareOnDvdPal", 500, 500, 720, 576, 540, 576},
                                         DiscCase{"SquareOnVcdNtsc", 400, 400, 352, 240, 264, 240},
                                         DiscCase{"SquareOnSvcdPal", 400, 400, 480, 576, 360, 576},
                                         DiscCase{"FourByThreeFillsDvdNtsc", 800, 600, 720, 480,
                                                  720, 480},
                                         DiscCase{"WideOnDvdPal", 1600, 900, 720, 576, 720, 432}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FrameGeometryTest, OnlyMpegOutputHasWidePixels) {
    ConversionSettings s = aviSettings(500, 500, 720, 480);
    EXPECT_TRUE(outputPixelAspect(s, 720, 480).isSquare());
    FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.contentWidth, 480);
    EXPECT_EQ(g.contentHeight, 480);
    s.convertType = OutputType::ImageSeries;
    s.imageWidth = 720;
    s.imageHeight = 480;
    g = computeFrameGeometry(s);
    EXPECT_EQ(g.contentWidth, 480);
    s.convertType = OutputType::Mpeg;
    const PixelAspect ntsc = outputPixelAspect(s, 720, 480);
    EXPECT_EQ(ntsc.num * 9, ntsc.den * 8) << "DVD-NTSC pixels are 8:9";
    const PixelAspect pal = outputPixelAspect(s, 720, 576);
    EXPECT_EQ(pal.num * 15, pal.den * 16) << "DVD-PAL pixels are 16:15";
}

TEST(FrameGeometryTest, DegenerateSizesGiveSafeGeometry) {
    // A crop with no area is taken as the whole movie.
    ConversionSettings s = aviSettings(800, 600, 320, 240);
    setCrop(s, 10, 10, 0, 300);
    FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.contentWidth, 320);
    EXPECT_EQ(g.contentHeight, 240);
    EXPECT_EQ(g.playerWidth, 320);
    EXPECT_EQ(g.grabOriginX, 0);

    // A movie with no size: the content fills the frame, nothing is offset.
    ConversionSettings empty = aviSettings(0, 0, 320, 240);
    empty.watermarkWidth = 10;
    g = computeFrameGeometry(empty);
    EXPECT_EQ(g.outputWidth, 320);
    EXPECT_EQ(g.playerWidth, 320);
    EXPECT_EQ(g.playerHeight, 240);
    EXPECT_EQ(g.grabOriginX, 0);
    EXPECT_EQ(g.outputMarkWidth, 0);

    // An output smaller than 4 x 2 pixels.
    ConversionSettings tiny = aviSettings(800, 600, 3, 1);
    g = computeFrameGeometry(tiny);
    EXPECT_EQ(g.outputWidth, 0);
    EXPECT_EQ(g.outputHeight, 0);
    EXPECT_EQ(g.contentWidth, 0);
    EXPECT_EQ(g.playerWidth, 0);
}

TEST(FrameGeometryTest, HugeMovieDoesNotOverflow) {
    // A header may declare a stage of millions of pixels; 32-bit products would wrap.
    ConversionSettings s = aviSettings(50000000, 40000000, 720, 576);
    const FrameGeometry g = computeFrameGeometry(s);
    EXPECT_EQ(g.contentWidth, 720);
    EXPECT_EQ(g.contentHeight, 576);
    EXPECT_EQ(g.playerWidth, 720);
    EXPECT_EQ(g.playerHeight, 576);
}

} // namespace
} // namespace swivio
