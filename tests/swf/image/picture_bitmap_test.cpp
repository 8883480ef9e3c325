#include <cstring>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "swf/image/bitmap_decoder.h"
#include "tests/support/bitmap_tags.h"

namespace swivio::swf {
namespace {

constexpr uint16_t kJpeg2 = 21;
constexpr uint16_t kJpeg3 = 35;

uint32_t pixel(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const uint8_t bytes[4] = {r, g, b, a};
    uint32_t v;
    std::memcpy(&v, bytes, 4);
    return v;
}

uint8_t premul(uint8_t c, uint8_t a) {
    return uint8_t((c * a + 127) / 255);
}

// A picture whose every pixel differs: colour from position, alpha from a pattern.
testkit::RgbaPicture patternPicture(int width, int height) {
    testkit::RgbaPicture p{width, height, std::vector<uint8_t>(std::size_t(width) * height * 4)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* px = &p.rgba[(std::size_t(y) * width + x) * 4];
            px[0] = uint8_t(x * 17);
            px[1] = uint8_t(y * 29);
            px[2] = uint8_t(255 - x * 7);
            px[3] = uint8_t((x + y) % 3 == 0 ? 255 : (x * 40 + y * 13));
        }
    return p;
}

void expectPremultiplied(const Bitmap& bitmap, const testkit::RgbaPicture& picture) {
    ASSERT_EQ(bitmap.width, picture.width);
    ASSERT_EQ(bitmap.height, picture.height);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.at(x, y);
            ASSERT_EQ(bitmap.at(x, y),
                      pixel(premul(p[0], p[3]), premul(p[1], p[3]), premul(p[2], p[3]), p[3]))
                << x << "," << y;
        }
}

TEST(PngBitmap, TruecolourAndPalettePngsDecodeExactlyPremultiplied) {
    const testkit::RgbaPicture picture = patternPicture(13, 7);
    for (uint16_t tag : {kJpeg2, kJpeg3}) {
        // In DefineBitsJPEG3 an alpha plane is for JPEG data only; a PNG keeps its own.
        const std::vector<uint8_t> png = testkit::encodePng(picture);
        const auto body =
            tag == kJpeg2 ? png : testkit::jpegWithAlphaBody(png, std::vector<uint8_t>(91));
        auto bitmap = decodeBitmapTag(tag, body, {});
        ASSERT_TRUE(bitmap.ok()) << bitmap.message();
        EXPECT_FALSE(bitmap->opaque);
        expectPremultiplied(*bitmap, picture);
    }
    const testkit::RgbaPicture few = testkit::bandPicture(10, 3, {0x102030, 0xFFEEDD}, 128);
    auto bitmap = decodeBitmapTag(kJpeg2, testkit::encodePng(few, true), {});
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    expectPremultiplied(*bitmap, few);

    const testkit::RgbaPicture opaque = testkit::bandPicture(9, 4, {0x123456}, 255);
    bitmap = decodeBitmapTag(kJpeg2, testkit::encodePng(opaque), {});
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    EXPECT_TRUE(bitmap->opaque);
    EXPECT_EQ(bitmap->at(8, 3), pixel(0x12, 0x34, 0x56, 255));
}

// Rewrites the width in a PNG's IHDR and fixes its checksum.
std::vector<uint8_t> withPngWidth(std::vector<uint8_t> png, uint32_t width) {
    const std::size_t ihdr = 8 + 4; // signature, chunk length
    for (int i = 0; i < 4; ++i)
        png[ihdr + 4 + i] = uint8_t(width >> (24 - 8 * i));
    const uLong crc = crc32(0, png.data() + ihdr, 4 + 13);
    for (int i = 0; i < 4; ++i)
        png[ihdr + 17 + i] = uint8_t(crc >> (24 - 8 * i));
    return png;
}

TEST(PngBitmap, OversizedTruncatedAndDamagedPngsAreRefused) {
    const std::vector<uint8_t> png = testkit::encodePng(patternPicture(32, 32));
    EXPECT_FALSE(decodeBitmapTag(kJpeg2, withPngWidth(png, 8192), {}).ok());
    EXPECT_FALSE(decodeBitmapTag(kJpeg2, withPngWidth(png, 0x7FFFFFFF), {}).ok());
    for (std::size_t cut : {std::size_t(8), std::size_t(20), png.size() / 2, png.size() - 13}) {
        auto bitmap =
            decodeBitmapTag(kJpeg2, std::vector<uint8_t>(png.begin(), png.begin() + cut), {});
        EXPECT_FALSE(bitmap.ok()) << cut;
        EXPECT_NE(bitmap.message().find("PNG"), std::string::npos) << bitmap.message();
    }
    std::vector<uint8_t> damaged = png;
    damaged[40] ^= 0x55; // inside the image data: its checksum no longer matches
    EXPECT_FALSE(decodeBitmapTag(kJpeg2, damaged, {}).ok());
}

testkit::GifImage checkerGif(int width, int height) {
    testkit::GifImage gif;
    gif.screenWidth = gif.width = width;
    gif.screenHeight = gif.height = height;
    gif.paletteRgb = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            gif.indices.push_back(uint8_t((x + 2 * y) % 4));
    return gif;
}

uint32_t gifColor(const testkit::GifImage& gif, int index) {
    const uint32_t c = gif.paletteRgb[std::size_t(index)];
    return pixel(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255);
}

TEST(GifBitmap, PixelsTransparencyInterlaceAndPlacement) {
    for (bool interlaced : {false, true}) {
        testkit::GifImage gif = checkerGif(11, 19);
        gif.interlaced = interlaced;
        gif.transparentIndex = 3;
        auto bitmap = decodeBitmapTag(kJpeg2, testkit::encodeGif(gif), {});
        ASSERT_TRUE(bitmap.ok()) << bitmap.message();
        EXPECT_FALSE(bitmap->opaque);
        for (int y = 0; y < 19; ++y)
            for (int x = 0; x < 11; ++x) {
                const int index = (x + 2 * y) % 4;
                ASSERT_EQ(bitmap->at(x, y), index == 3 ? 0u : gifColor(gif, index))
                    << x << "," << y << " interlaced " << interlaced;
            }
    }
    // An image smaller than the logical screen: the rest of the screen is transparent.
    testkit::GifImage gif = checkerGif(4, 3);
    gif.screenWidth = 10;
    gif.screenHeight = 8;
    gif.left = 5;
    gif.top = 2;
    auto bitmap = decodeBitmapTag(kJpeg2, testkit::encodeGif(gif), {});
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    ASSERT_EQ(bitmap->width, 10);
    ASSERT_EQ(bitmap->height, 8);
    EXPECT_EQ(bitmap->at(0, 0), 0u);
    EXPECT_EQ(bitmap->at(5, 2), gifColor(gif, 0));
    EXPECT_EQ(bitmap->at(8, 4), gifColor(gif, (3 + 4) % 4));
    EXPECT_EQ(bitmap->at(9, 5), 0u);
}

TEST(GifBitmap, TruncatedAndOversizedGifsAreRefused) {
    const std::vector<uint8_t> gif = testkit::encodeGif(checkerGif(40, 40));
    for (std::size_t cut : {std::size_t(6), std::size_t(13), gif.size() / 2}) {
        auto bitmap =
            decodeBitmapTag(kJpeg2, std::vector<uint8_t>(gif.begin(), gif.begin() + cut), {});
        EXPECT_FALSE(bitmap.ok()) << cut;
    }
    std::vector<uint8_t> huge = gif;
    huge[6] = 0x00; // logical screen width 8192
    huge[7] = 0x20;
    auto bitmap = decodeBitmapTag(kJpeg2, huge, {});
    ASSERT_FALSE(bitmap.ok());
    EXPECT_NE(bitmap.message().find("too large"), std::string::npos) << bitmap.message();
}

} // namespace
} // namespace swivio::swf
