#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>

#include "encode/image/animated_gif_writer.h"
#include "encode/image/standard_palette.h"
#include "tests/encode/image/gif_blocks.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

Frame colouredFrame(int width, int height, uint32_t color) {
    Frame frame(width, height);
    frame.fill(color);
    return frame;
}

// Palette colours, as 0x00BBGGRR, that frames are filled with.
uint32_t paletteColor(int index) {
    return standardPaletteColors()[std::size_t(index)];
}

class AnimatedGifFrames : public testing::TestWithParam<int> {};

TEST_P(AnimatedGifFrames, BlockSequenceForNFrames) {
    const int n = GetParam();
    testkit::TempDir dir;
    const std::string path = dir.file("movie.gif");
    {
        AnimatedGifWriter writer(path, 10.0, true);
        ASSERT_TRUE(writer.isOpen());
        for (int i = 0; i < n; ++i)
            EXPECT_TRUE(writer.writeFrame(colouredFrame(40, 30, paletteColor(10 + i)), i));
        EXPECT_TRUE(writer.finish());
    }
    const std::vector<uint8_t> bytes = testkit::readFileBytes(path);
    const auto blocks = testkit::walkGifBlocks(bytes);
    // header, loop, then (control, image) per frame, then the trailer.
    ASSERT_EQ(blocks.size(), std::size_t(2 + 2 * n + 1));
    EXPECT_EQ(blocks[0].kind, "header");
    EXPECT_EQ(blocks[1].kind, "loop");
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(blocks[std::size_t(2 + 2 * i)].kind, "control") << i;
        EXPECT_EQ(blocks[std::size_t(2 + 2 * i)].body,
                  (std::vector<uint8_t>{0x08, 0x0A, 0x00, 0xFF}))
            << i;
        EXPECT_EQ(blocks[std::size_t(3 + 2 * i)].kind, "image") << i;
    }
    EXPECT_EQ(blocks.back().kind, "trailer");
    EXPECT_EQ(bytes.back(), 0x3B);

    const testkit::DecodedGif gif = testkit::readGifFile(path);
    ASSERT_TRUE(gif.ok) << gif.error;
    EXPECT_EQ(gif.screenWidth, 40);
    EXPECT_EQ(gif.screenHeight, 30);
    EXPECT_EQ(gif.loopCount, 999);
    EXPECT_EQ(gif.globalPalette, standardPaletteColors());
    ASSERT_EQ(gif.images.size(), std::size_t(n));
    for (int i = 0; i < n; ++i) {
        const auto& image = gif.images[std::size_t(i)];
        EXPECT_EQ(image.disposal, 2);
        EXPECT_EQ(image.delay, 10); // 10 frames per second
        EXPECT_FALSE(image.hasLocalPalette);
        // Palette colours survive dithering exactly.
        for (uint8_t index : image.indexes)
            ASSERT_EQ(index, 10 + i);
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, AnimatedGifFrames, testing::Values(1, 2, 7));

class AnimatedGifTiming : public testing::TestWithParam<double> {};

// Whole hundredths cannot hold most frame times: what the delays add up to after each frame
// must stay within half a hundredth of the movie time, and no frame may go without a delay.
TEST_P(AnimatedGifTiming, DelaysAddUpToTheMovieTime) {
    const double rate = GetParam();
    constexpr int kFrames = 130;
    testkit::TempDir dir;
    const std::string path = dir.file("t.gif");
    AnimatedGifWriter writer(path, rate, false);
    for (int i = 0; i < kFrames; ++i)
        writer.writeFrame(colouredFrame(8, 2, 0), i);
    ASSERT_TRUE(writer.finish()) << writer.errorString();
    const auto gif = testkit::readGifFile(path);
    ASSERT_TRUE(gif.ok) << gif.error;
    ASSERT_EQ(gif.images.size(), std::size_t(kFrames));
    int total = 0;
    for (int n = 1; n <= kFrames; ++n) {
        const int delay = gif.images[std::size_t(n - 1)].delay;
        EXPECT_GE(delay, 1) << "frame " << n - 1;
        total += delay;
        EXPECT_LE(std::abs(total - n * 100.0 / rate), 0.5 + 1e-9) << "after " << n << " frames";
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, AnimatedGifTiming,
                         testing::Values(24.0, 25.0, 30.0, 12.0, 15.0, 29.97, double(29.97f),
                                         30000.0 / 1001.0, 10.0, 7.0));

TEST(AnimatedGifWriter, DelaysAtTheEdgesOfTheRange) {
    EXPECT_EQ(animatedGifFrameDelay(0, 0), 0);         // no rate, no delay
    EXPECT_EQ(animatedGifFrameDelay(0.001, 3), 65535); // the longest delay a GIF holds
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(animatedGifFrameDelay(250, i), 1) << i; // above 100, never no delay
}

TEST(AnimatedGifWriter, PixelsOfAnUnditheredFrame) {
    // Left half pure red (index 249), right half a colour between entries: without
    // dithering every right-half pixel is one nearest entry.
    Frame frame(64, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x)
            frame.setPixel(x, y, x < 32 ? makeColor(0xFF, 0, 0) : makeColor(0x70, 0x20, 0x90));
    testkit::TempDir dir;
    const std::string path = dir.file("p.gif");
    AnimatedGifWriter writer(path, 12, false);
    writer.writeFrame(frame, 0);
    ASSERT_TRUE(writer.finish());
    const auto gif = testkit::readGifFile(path);
    ASSERT_TRUE(gif.ok);
    const auto& indexes = gif.images.at(0).indexes;
    const int right = nearestPaletteIndex(kStandardPalette, 0x70, 0x20, 0x90);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(indexes[std::size_t(y) * 64 + x], x < 32 ? 249 : right) << x << "," << y;
}

TEST(AnimatedGifWriter, FileThatCannotBeCreatedIgnoresEveryWrite) {
    testkit::TempDir dir;
    const std::string path = dir.file("missing/folder/movie.gif");
    AnimatedGifWriter writer(path, 10, true);
    EXPECT_FALSE(writer.isOpen());
    EXPECT_TRUE(writer.writeFrame(colouredFrame(8, 2, 0), 0));
    EXPECT_FALSE(writer.finish());
    EXPECT_NE(writer.errorString().find("missing/folder/movie.gif"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(AnimatedGifWriter, NoFrameLeavesNoBrokenFile) {
    testkit::TempDir dir;
    const std::string path = dir.file("empty.gif");
    AnimatedGifWriter writer(path, 10, true);
    EXPECT_TRUE(writer.isOpen());
    // The GIF is written beside its name and only put there when complete.
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(writer.finish());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

struct NameCase {
    const char* folder;
    const char* movie;
    const char* expected;
};
class AnimatedGifName : public testing::TestWithParam<NameCase> {};

TEST_P(AnimatedGifName, FolderTitleAndExtension) {
    const NameCase c = GetParam();
    EXPECT_EQ(animatedGifFileName(c.folder, c.movie), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Names, AnimatedGifName,
                         testing::Values(NameCase{"/out", "/movies/intro.final.swf",
                                                  "/out/intro.final.gif"},
                                         NameCase{"/out/", "/movies/intro.swf", "/out/intro.gif"},
                                         NameCase{"/out", "/movies/intro", "/out/intro.gif"},
                                         NameCase{"/out", "/movies.old/intro", "/out/intro.gif"},
                                         NameCase{"/", "/a/b.flv", "/b.gif"}));

} // namespace
} // namespace swivio
