#include <random>

#include <gtest/gtest.h>

#include "encode/image/gif_encoder.h"
#include "encode/image/standard_palette.h"
#include "tests/encode/image/gif_blocks.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using testkit::readGifFile;

PictureImage indexedPicture(int width, int height, const std::function<int(int, int)>& index) {
    PictureImage image(width, height, 8);
    image.setPalette(standardPaletteColors());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.topRow(y)[x] = uint8_t(index(x, y));
    return image;
}

struct LzwCase {
    const char* name;
    int width;
    int height;
    std::function<int(int, int)> index;
};

class GifRoundTrip : public testing::TestWithParam<LzwCase> {};

// Whatever the pixels, giflib must read back exactly the indexes written. Noise fills the
// code table again and again (clear codes), a single colour makes long strings and 12-bit
// codes, stripes and gradients lie in between.
TEST_P(GifRoundTrip, GiflibReadsBackEveryIndex) {
    const LzwCase& c = GetParam();
    const PictureImage image = indexedPicture(c.width, c.height, c.index);
    testkit::TempDir dir;
    const std::string path = dir.file("picture.gif");
    testkit::writeFileBytes(path, encodeSingleGif(image));
    const testkit::DecodedGif gif = readGifFile(path);
    ASSERT_TRUE(gif.ok) << gif.error;
    ASSERT_EQ(gif.images.size(), 1u);
    const auto& decoded = gif.images[0];
    ASSERT_EQ(decoded.width, c.width);
    ASSERT_EQ(decoded.height, c.height);
    EXPECT_FALSE(decoded.interlaced);
    EXPECT_FALSE(decoded.hasLocalPalette);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            ASSERT_EQ(decoded.indexes[std::size_t(y) * c.width + x], c.index(x, y))
                << x << "," << y;
}

int noise(int x, int y) {
    uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return int(h >> 24);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, GifRoundTrip,
    testing::Values(LzwCase{"OnePixel", 1, 1, [](int, int) { return 7; }},
                    LzwCase{"Noise", 640, 480, noise},
                    LzwCase{"SingleColour", 800, 600, [](int, int) { return 255; }},
                    LzwCase{"Stripes", 333, 97, [](int x, int y) { return (x / 3 + y) % 5; }},
                    LzwCase{"Gradient", 256, 256, [](int x, int y) { return (x + y) & 0xFF; }},
                    LzwCase{"FewColoursNoise", 1000, 300,
                            [](int x, int y) { return noise(x, y) & 3; }}),
    [](const testing::TestParamInfo<LzwCase>& param) { return std::string(param.param.name); });

TEST(GifEncoder, SinglePictureLayout) {
    const PictureImage image = indexedPicture(300, 200, noise);
    const std::vector<uint8_t> bytes = encodeSingleGif(image);
    // Header: signature, screen size, flags 0xE7 (global table of 256), background 0,
    // aspect 0, then the palette as red, green, blue.
    ASSERT_GT(bytes.size(), 13u + 768u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
    EXPECT_EQ(bytes[6] | bytes[7] << 8, 300);
    EXPECT_EQ(bytes[8] | bytes[9] << 8, 200);
    EXPECT_EQ(bytes[10], 0xE7);
    EXPECT_EQ(bytes[11], 0);
    EXPECT_EQ(bytes[12], 0);
    EXPECT_EQ(bytes[13 + 249 * 3], 0xFF); // entry 249 is FF0000
    EXPECT_EQ(bytes[13 + 249 * 3 + 1], 0x00);
    EXPECT_EQ(bytes[13 + 9 * 3 + 2], 0xF0); // entry 9 is A6CAF0

    const auto blocks = testkit::walkGifBlocks(bytes);
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0].kind, "header");
    EXPECT_EQ(blocks[1].kind, "control");
    EXPECT_EQ(blocks[2].kind, "image");
    EXPECT_EQ(blocks[3].kind, "trailer");
    // Graphic control: disposal 0, delay 0, no transparent index (byte 0xFF).
    EXPECT_EQ(blocks[1].body, (std::vector<uint8_t>{0x00, 0x00, 0x00, 0xFF}));
    // Image descriptor at (0, 0), 300 x 200, no local table, not interlaced; code size 8.
    EXPECT_EQ(blocks[2].body,
              (std::vector<uint8_t>{0, 0, 0, 0, 0x2C, 0x01, 0xC8, 0x00, 0x00, 0x08}));
    EXPECT_LE(blocks[2].largestSubBlock, 254);
    EXPECT_EQ(blocks[2].largestSubBlock, 254);

    // The global palette giflib reads is the standard palette, exactly.
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("p.gif"), bytes);
    const auto gif = readGifFile(dir.file("p.gif"));
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.globalPalette, standardPaletteColors());
}

TEST(GifEncoder, ExtensionBytes) {
    std::vector<uint8_t> out;
    writeLoopExtension(out, 999);
    const std::vector<uint8_t> loop = {0x21, 0xFF, 0x0B, 'N', 'E',  'T',  'S',  'C',  'A', 'P',
                                       'E',  '2',  '.',  '0', 0x03, 0x01, 0xE7, 0x03, 0x00};
    EXPECT_EQ(out, loop);

    out.clear();
    writeFrameExtension(out, 2, 9, -1);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x21, 0xF9, 0x04, 0x08, 0x09, 0x00, 0xFF, 0x00}));
    out.clear();
    writeFrameExtension(out, 2, 300, 5);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x21, 0xF9, 0x04, 0x09, 0x2C, 0x01, 0x05, 0x00}));

    out.clear();
    writeComment(out, "");
    EXPECT_TRUE(out.empty());
    writeComment(out, "hi");
    EXPECT_EQ(out, (std::vector<uint8_t>{0x21, 0xFE, 0x02, 'h', 'i', 0x00}));
    out.clear();
    writeComment(out, std::string(300, 'x'));
    ASSERT_EQ(out.size(), 3u + 255u + 1u);
    EXPECT_EQ(out[2], 255);
}

TEST(GifEncoder, HeaderWithoutPalette) {
    PictureImage image(4, 2, 24);
    std::vector<uint8_t> out;
    writeGifHeader(out, image);
    ASSERT_EQ(out.size(), 13u);
    EXPECT_EQ(out[10], 0x11);
    // Only 8-bit pictures have image data.
    EXPECT_FALSE(writeImage(out, image));
    EXPECT_EQ(out.size(), 13u);
}

} // namespace
} // namespace swivio
