#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "swf/image/bitmap_decoder.h"
#include "tests/support/bitmap_tags.h"

namespace swivio::swf {
namespace {

constexpr uint16_t kLossless = 20;
constexpr uint16_t kLossless2 = 36;

uint32_t pixel(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const uint8_t bytes[4] = {r, g, b, a};
    uint32_t v;
    std::memcpy(&v, bytes, 4);
    return v;
}

// One lossless layout: the raw bytes the tag compresses and the pixels they must give.
struct LosslessCase {
    std::string name;
    uint16_t tag;
    uint8_t format;
    uint16_t width, height;
    int tableSize;
    std::vector<uint8_t> raw;
    std::vector<uint32_t> expected; // top row first
    bool opaque;
};

std::vector<LosslessCase> losslessCases() {
    const uint32_t black = pixel(0, 0, 0, 255);
    return {
        // 3 pixels a row padded to 4 bytes; index 5 lies past the 3-entry table.
        {"ColorMapped",
         kLossless,
         3,
         3,
         2,
         3,
         {10, 20, 30, 40, 50, 60, 70, 80, 90, /*rows*/ 0, 1, 2, 0xEE, 2, 5, 1, 0xEE},
         {pixel(10, 20, 30, 255), pixel(40, 50, 60, 255), pixel(70, 80, 90, 255),
          pixel(70, 80, 90, 255), black, pixel(40, 50, 60, 255)},
         true},
        // RGBA table, stored premultiplied; entry 1 is brighter than its alpha (clamped).
        {"ColorMappedAlpha",
         kLossless2,
         3,
         2,
         2,
         2,
         {64, 32, 0, 128, 200, 100, 90, 80, /*rows*/ 0, 1, 0xEE, 0xEE, 1, 7, 0xEE, 0xEE},
         {pixel(64, 32, 0, 128), pixel(80, 80, 80, 80), pixel(80, 80, 80, 80), 0},
         false},
        // 15-bit: pad bit then 5 bits of red, green, blue, high byte first; 3 pixels
        // (6 bytes) padded to 8.
        {"Rgb15",
         kLossless,
         4,
         3,
         2,
         0,
         {0x7C, 0x00, 0x03, 0xE0, 0x00, 0x1F, 0xEE, 0xEE, /*row 2*/ 0x7F, 0xFF, 0x00, 0x00, 0x42,
          0x10, 0xEE, 0xEE},
         {pixel(255, 0, 0, 255), pixel(0, 255, 0, 255), pixel(0, 0, 255, 255),
          pixel(255, 255, 255, 255), black, pixel(132, 132, 132, 255)},
         true},
        // 24-bit: a pad byte (ignored without alpha) then R, G, B.
        {"Rgb24",
         kLossless,
         5,
         2,
         1,
         0,
         {0x00, 1, 2, 3, 0x7F, 250, 251, 252},
         {pixel(1, 2, 3, 255), pixel(250, 251, 252, 255)},
         true},
        // ARGB premultiplied; the last pixel claims more colour than alpha (clamped).
        {"Argb32",
         kLossless2,
         5,
         2,
         2,
         0,
         {255, 10, 20, 30, 0, 0, 0, 0, 128, 128, 64, 0, 16, 200, 16, 8},
         {pixel(10, 20, 30, 255), 0, pixel(128, 64, 0, 128), pixel(16, 16, 8, 16)},
         false},
    };
}

class LosslessFormatTest : public ::testing::TestWithParam<LosslessCase> {};

TEST_P(LosslessFormatTest, DecodesEveryPixelExactly) {
    const LosslessCase& c = GetParam();
    auto bitmap = decodeBitmapTag(
        c.tag, testkit::losslessBody(c.format, c.width, c.height, c.raw, c.tableSize), {});
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    ASSERT_EQ(bitmap->width, c.width);
    ASSERT_EQ(bitmap->height, c.height);
    ASSERT_EQ(bitmap->pixels.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i)
        EXPECT_EQ(bitmap->pixels[i], c.expected[i]) << "pixel " << i;
    EXPECT_EQ(bitmap->opaque, c.opaque);
}

INSTANTIATE_TEST_SUITE_P(Formats, LosslessFormatTest, ::testing::ValuesIn(losslessCases()),
                         [](const auto& testInfo) { return testInfo.param.name; });

TEST(LosslessBitmap, TruncatedPixelDataKeepsTheRowsThatArrived) {
    // 64 x 64 of incompressible-looking 24-bit pixels, so a cut falls inside the pixels.
    std::vector<uint8_t> raw;
    uint32_t seed = 12345;
    for (int i = 0; i < 64 * 64; ++i) {
        seed = seed * 1103515245 + 12345;
        raw.insert(raw.end(), {0, uint8_t(seed >> 8), uint8_t(seed >> 16), uint8_t(seed >> 24)});
    }
    std::vector<uint8_t> z = testkit::zlibCompress(raw);
    z.resize(z.size() / 2);
    auto bitmap = decodeBitmapTag(kLossless, testkit::losslessBodyCompressed(5, 64, 64, z), {});
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    EXPECT_EQ(bitmap->at(3, 0), pixel(raw[13], raw[14], raw[15], 255));
    EXPECT_EQ(bitmap->at(63, 63), 0u); // never arrived: transparent
    EXPECT_FALSE(bitmap->opaque);
}

TEST(LosslessBitmap, BadHeadersSizesAndDataAreRefused) {
    const std::vector<uint8_t> raw(16, 0);
    struct Bad {
        const char* what;
        uint8_t format;
        uint16_t width, height;
    };
    for (const Bad& bad :
         {Bad{"zero width", 5, 0, 4}, Bad{"zero height", 5, 4, 0}, Bad{"8192 wide", 5, 8192, 1},
          Bad{"8192 high", 3, 1, 8192}, Bad{"over 16,777,215 pixels", 5, 4096, 4097},
          Bad{"unknown format", 6, 2, 2}, Bad{"format 2", 2, 2, 2}}) {
        auto bitmap = decodeBitmapTag(
            kLossless2, testkit::losslessBody(bad.format, bad.width, bad.height, raw, 2), {});
        ASSERT_FALSE(bitmap.ok()) << bad.what;
        EXPECT_NE(bitmap.message().find("DefineBitsLossless2"), std::string::npos);
    }
    auto largest = decodeBitmapTag(kLossless, testkit::losslessBody(5, 8191, 2, raw), {});
    EXPECT_TRUE(largest.ok()) << largest.message(); // the limit itself is allowed

    EXPECT_FALSE(decodeBitmapTag(kLossless, std::vector<uint8_t>{5, 2, 0}, {}).ok());
    EXPECT_FALSE(
        decodeBitmapTag(kLossless, testkit::losslessBodyCompressed(5, 2, 2, {0x12, 0x34, 0x56}), {})
            .ok());
    EXPECT_FALSE(decodeBitmapTag(kLossless, testkit::losslessBodyCompressed(5, 2, 2, {}), {}).ok());
}

} // namespace
} // namespace swivio::swf
