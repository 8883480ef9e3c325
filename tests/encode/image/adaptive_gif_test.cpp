// GIFs over the standard and the adaptive palette, read back with giflib and composed as a
// viewer shows them.
#include <cmath>
#include <filesystem>
#include <functional>
#include <set>

#include <gtest/gtest.h>

#include "encode/image/animated_gif_writer.h"
#include "encode/image/picture_series_writer.h"
#include "encode/image/standard_palette.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using FrameMaker = std::function<Frame(int index)>;

Frame makeFrame(int width, int height, const std::function<uint32_t(int x, int y)>& pixel) {
    Frame frame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame.setPixel(x, y, pixel(x, y));
    return frame;
}

// Blends a and b (0x00BBGGRR) by t from 0 to 1.
uint32_t blend(uint32_t a, uint32_t b, double t) {
    const auto mix = [t](uint8_t u, uint8_t v) { return uint8_t(std::lround(u + (v - u) * t)); };
    return makeColor(mix(colorRed(a), colorRed(b)), mix(colorGreen(a), colorGreen(b)),
                     mix(colorBlue(a), colorBlue(b)));
}

// Gradients as a movie draws them: a diagonal sky of three stops and a sun whose colour
// follows the distance from its centre; over a thousand colours, each along one ramp.
uint32_t skyAndSun(int x, int y) {
    const double dx = x - 110, dy = y - 45, d = std::sqrt(dx * dx + dy * dy);
    if (d < 38)
        return blend(makeColor(255, 250, 200), makeColor(230, 90, 10), d / 38);
    const double t = (x + y) / 278.0;
    return t < 0.5 ? blend(makeColor(10, 30, 120), makeColor(120, 170, 240), t * 2)
                   : blend(makeColor(120, 170, 240), makeColor(250, 200, 150), t * 2 - 1);
}

// A smooth gradient over all three channels: a colour for almost every pixel.
uint32_t gradient(int x, int y) {
    return makeColor(uint8_t(x * 255 / 159), uint8_t(y * 255 / 119), uint8_t(128 + (x - y) / 3));
}

// A square of `side` pixels at (left, top) in `color` over `background`.
FrameMaker squareOver(std::function<uint32_t(int, int)> background, int side,
                      std::function<std::array<int, 2>(int)> place,
                      std::function<uint32_t(int)> color) {
    return [=](int index) {
        const std::array<int, 2> corner = place(index);
        const int left = corner[0], top = corner[1];
        return makeFrame(160, 120, [&](int x, int y) {
            const bool inside = x >= left && x < left + side && y >= top && y < top + side;
            return inside ? color(index) : background(x, y);
        });
    };
}

// The pictures a viewer shows of the animated GIF of `count` frames, and the file's size.
struct Animation {
    std::vector<testkit::DecodedPicture> shown;
    std::uintmax_t bytes = 0;
};
Animation animate(const FrameMaker& frames, int count, GifColors colors, bool dither) {
    testkit::TempDir dir;
    const std::string path = dir.file("movie.gif");
    AnimatedGifWriter writer(path, 10, dither, colors);
    for (int i = 0; i < count; ++i)
        writer.writeFrame(frames(i), i);
    EXPECT_TRUE(writer.finish()) << writer.errorString();
    const testkit::DecodedGif gif = testkit::readGifFile(path);
    EXPECT_TRUE(gif.ok) << gif.error;
    return {testkit::composeGifFrames(gif), std::filesystem::file_size(path)};
}

// Each frame saved as a GIF picture of its own, as a picture series does, read back.
Animation pictureSeries(const FrameMaker& frames, int count, GifColors colors, bool dither) {
    testkit::TempDir dir;
    PictureSeriesWriter writer(dir.path().string(), PictureFileType::Gif, 80, dither, colors);
    Animation series;
    for (int i = 0; i < count; ++i) {
        writer.writeFrame(frames(i), i);
        const std::string path =
            pictureSeriesFileName(dir.path().string(), PictureFileType::Gif, i);
        const auto shown = testkit::composeGifFrames(testkit::readGifFile(path));
        EXPECT_EQ(shown.size(), 1u) << i;
        if (shown.size() == 1)
            series.shown.push_back(shown[0]);
        series.bytes += std::filesystem::file_size(path);
    }
    EXPECT_TRUE(writer.finish());
    return series;
}

double psnr(const testkit::DecodedPicture& shown, const Frame& original) {
    double squares = 0;
    for (int y = 0; y < original.height(); ++y)
        for (int x = 0; x < original.width(); ++x)
            for (int shift = 0; shift < 24; shift += 8) {
                const double d = double(shown.at(x, y) >> shift & 0xFF) -
                                 double(original.pixel(x, y) >> shift & 0xFF);
                squares += d * d;
            }
    const double samples = 3.0 * original.width() * original.height();
    return squares > 0 ? 10 * std::log10(255.0 * 255.0 * samples / squares) : 99.0;
}

// PSNR of a picture of gradients, alone and as the frames of an animation in which a
// square moves over it, for both palettes. The standard palette is the same as it always was:
// every pixel one of its colours, and about 18 dB on such a gradient.
struct PsnrCase {
    GifColors colors;
    bool dither;
    double minDb;
    double maxDb;
};

class GifPsnr : public testing::TestWithParam<PsnrCase> {};

TEST_P(GifPsnr, AgainstTheUncompressedFrames) {
    const PsnrCase c = GetParam();
    const FrameMaker frames = squareOver(
        skyAndSun, 12,
        [](int i) {
            return std::array<int, 2>{10 + 9 * i, 20 + 5 * i};
        },
        [](int i) { return makeColor(uint8_t(40 * i), 200, 30); });
    const Animation single = pictureSeries(frames, 1, c.colors, c.dither);
    const Animation movie = animate(frames, 6, c.colors, c.dither);
    ASSERT_EQ(single.shown.size(), 1u);
    ASSERT_EQ(movie.shown.size(), 6u);
    const double singleDb = psnr(single.shown[0], frames(0));
    EXPECT_GE(singleDb, c.minDb);
    EXPECT_LE(singleDb, c.maxDb);
    for (int i = 0; i < 6; ++i) {
        const double db = psnr(movie.shown[std::size_t(i)], frames(i));
        EXPECT_GE(db, c.minDb) << "frame " << i;
        EXPECT_LE(db, c.maxDb) << "frame " << i;
    }
    if (c.colors == GifColors::Standard) {
        const std::set<uint32_t> standard(standardPaletteColors().begin(),
                                          standardPaletteColors().end());
        for (const auto& picture : {single.shown[0], movie.shown[5]})
            for (uint32_t pixel : picture.pixels)
                ASSERT_TRUE(standard.count(pixel)) << std::hex << pixel;
    }
}

INSTANTIATE_TEST_SUITE_P(Palettes, GifPsnr,
                         testing::Values(PsnrCase{GifColors::Adaptive, true, 40, 99},
                                         PsnrCase{GifColors::Adaptive, false, 40, 99},
                                         PsnrCase{GifColors::Standard, true, 15, 25},
                                         PsnrCase{GifColors::Standard, false, 15, 25}));

// Frame differencing: animations whose frames change only in a small square. With few
// colours the adaptive palette is exact, so the composed animation must be exactly the
// frames, the same pictures as each frame saved whole, in a smaller file.
struct ChangeCase {
    const char* name;
    FrameMaker frames;
};

uint32_t stripes(int x, int y) {
    return (x / 16 + y / 24) % 3 == 0   ? makeColor(20, 60, 200)
           : (x / 16 + y / 24) % 3 == 1 ? makeColor(240, 240, 230)
                                        : makeColor(90, 30, 10);
}

class FrameDifferencing : public testing::TestWithParam<std::tuple<ChangeCase, bool>> {};

TEST_P(FrameDifferencing, ShowsTheSamePicturesInASmallerFile) {
    const auto& [c, dither] = GetParam();
    constexpr int kCount = 8;
    const Animation movie = animate(c.frames, kCount, GifColors::Adaptive, dither);
    const Animation whole = pictureSeries(c.frames, kCount, GifColors::Adaptive, dither);
    ASSERT_EQ(movie.shown.size(), std::size_t(kCount));
    ASSERT_EQ(whole.shown.size(), std::size_t(kCount));
    for (int i = 0; i < kCount; ++i) {
        const Frame frame = c.frames(i);
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x) {
                ASSERT_EQ(movie.shown[std::size_t(i)].at(x, y), frame.pixel(x, y))
                    << c.name << " frame " << i << " at " << x << "," << y;
                ASSERT_EQ(whole.shown[std::size_t(i)].at(x, y), frame.pixel(x, y))
                    << c.name << " frame " << i << " at " << x << "," << y;
            }
    }
    EXPECT_LT(movie.bytes, whole.bytes / 2) << c.name;
}

const ChangeCase kChanges[] = {
    {"square changing colour",
     squareOver(
         stripes, 6,
         [](int) {
             return std::array<int, 2>{70, 50};
         },
         [](int i) { return makeColor(uint8_t(30 * i), uint8_t(255 - 30 * i), 99); })},
    {"square moving", squareOver(
                          stripes, 6,
                          [](int i) {
                              return std::array<int, 2>{5 + 15 * i, 100 - 11 * i};
                          },
                          [](int) { return makeColor(250, 20, 20); })},
    {"square in the last corner, still every other frame",
     squareOver(
         stripes, 5,
         [](int i) {
             return std::array<int, 2>{155, 115 - (i / 2) % 2};
         },
         [](int i) { return makeColor(0, uint8_t(100 + 20 * (i / 2)), 0); })},
    {"nothing changes", squareOver(
                            stripes, 6,
                            [](int) {
                                return std::array<int, 2>{0, 0};
                            },
                            [](int) { return makeColor(1, 2, 3); })},
};

INSTANTIATE_TEST_SUITE_P(Changes, FrameDifferencing,
                         testing::Combine(testing::ValuesIn(kChanges), testing::Bool()));

// Over a gradient of thousands of colours, dithered: where the frames do not change, the
// viewer's picture does not change either (no crawling pattern).
TEST(FrameDifferencing, StillAreasKeepTheirDitherPattern) {
    const FrameMaker frames = squareOver(
        gradient, 10,
        [](int i) {
            return std::array<int, 2>{20 + 12 * i, 30 + 7 * i};
        },
        [](int i) { return makeColor(250, uint8_t(20 * i), 90); });
    constexpr int kCount = 8;
    const Animation movie = animate(frames, kCount, GifColors::Adaptive, true);
    ASSERT_EQ(movie.shown.size(), std::size_t(kCount));
    std::vector<Frame> source;
    for (int i = 0; i < kCount; ++i)
        source.push_back(frames(i));
    // Pixels that have kept frame 0's colour up to frame i.
    std::vector<bool> unchanged(std::size_t(160 * 120), true);
    int still = 0;
    for (int i = 1; i < kCount; ++i)
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) {
                const std::size_t at = std::size_t(y) * 160 + std::size_t(x);
                if (source[std::size_t(i)].pixel(x, y) != source[0].pixel(x, y))
                    unchanged[at] = false;
                if (!unchanged[at])
                    continue;
                ++still;
                ASSERT_EQ(movie.shown[std::size_t(i)].at(x, y), movie.shown[0].at(x, y))
                    << "frame " << i << " at " << x << "," << y;
            }
    EXPECT_GT(still, (kCount - 1) * 160 * 120 / 2);
}

} // namespace
} // namespace swivio
