#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "encode/image/color_reduction.h"
#include "encode/image/standard_palette.h"

namespace swivio {
namespace {

PictureImage filled(int width, int height, uint32_t color) {
    PictureImage image(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.topRow(y) + x * 3;
            p[0] = colorBlue(color);
            p[1] = colorGreen(color);
            p[2] = colorRed(color);
        }
    return image;
}

class PaletteColourKept : public testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(PaletteColourKept, WithAndWithoutDithering) {
    const auto [index, dither] = GetParam();
    const uint32_t rgb = kStandardPalette[index];
    PictureImage image =
        filled(16, 8, makeColor(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)));
    const PictureImage reduced = reduceTo8Bits(image, dither);
    ASSERT_EQ(reduced.bitsPerPixel(), 8);
    ASSERT_EQ(reduced.palette(), standardPaletteColors());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(reduced.topRow(y)[x], index) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Entries, PaletteColourKept,
                         testing::Combine(testing::Values(0, 7, 40, 226, 249, 255),
                                          testing::Bool()));

TEST(ReduceTo8Bits, FlatColourWithoutDitheringIsOneIndex) {
    PictureImage image = filled(20, 10, makeColor(0x33, 0x99, 0x10));
    const PictureImage reduced = reduceTo8Bits(image, false);
    const int index = nearestPaletteIndex(kStandardPalette, 0x33, 0x99, 0x10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(reduced.topRow(y)[x], index);
    // The source is left alone without dithering.
    EXPECT_EQ(image.pixel(5, 5), makeColor(0x33, 0x99, 0x10));
}

TEST(ReduceTo8Bits, DiffusesErrorsWithTruncatedSixteenths) {
    // Storage order is bottom row first. The bottom-left pixel (10, 10, 10) becomes 0E0E0E
    // (index 245), an error of -4 per channel: its right neighbour gets -4 * 7 / 16 = -1
    // (truncated toward zero; an arithmetic shift would give -2), the pixel above it
    // -4 * 4 / 16 = -1 and the pixel above right -4 * 1 / 16 = 0. The bottom-right pixel,
    // now 9, becomes index 245 too with an error of -5: -5 * 2 / 16 = 0 goes to the pixel
    // above left and -5 * 4 / 16 = -1 to the pixel above. Then the top row: the top-left
    // pixel, now 9, gives -5 * 7 / 16 = -2 to its right neighbour, 9 before, so 7.
    PictureImage image = filled(2, 2, makeColor(10, 10, 10));
    const PictureImage reduced = reduceTo8Bits(image, true);
    EXPECT_EQ(reduced.topRow(1)[0], 245);
    EXPECT_EQ(reduced.topRow(1)[1], 245);
    EXPECT_EQ(image.pixel(1, 1), makeColor(9, 9, 9));
    EXPECT_EQ(image.pixel(0, 0), makeColor(9, 9, 9));
    EXPECT_EQ(image.pixel(1, 0), makeColor(7, 7, 7));
    // The untouched bottom-left keeps its colour.
    EXPECT_EQ(image.pixel(0, 1), makeColor(10, 10, 10));
}

TEST(ReduceTo8Bits, ClampsDiffusedValues) {
    // A white pixel next to an almost-white one: errors must not wrap around 255.
    PictureImage image = filled(4, 2, makeColor(0xFF, 0xFF, 0xFF));
    uint8_t* p = image.storageRow(0);
    p[2] = 0xFE; // red of the bottom-left pixel just below white
    reduceTo8Bits(image, true);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_GE(colorRed(image.pixel(x, y)), 0xF0) << x << "," << y;
}

TEST(ReduceTo8Bits, DitheringKeepsTheAverageOfAGradient) {
    // A horizontal grey-green gradient that falls between palette entries.
    const int width = 256, height = 32;
    PictureImage plain(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = plain.topRow(y) + x * 3;
            p[0] = uint8_t(x / 2);
            p[1] = uint8_t(x);
            p[2] = uint8_t(x / 2);
        }
    PictureImage dithered = plain;
    const PictureImage flat = reduceTo8Bits(plain, false);
    const PictureImage diffused = reduceTo8Bits(dithered, true);
    const std::vector<uint32_t>& palette = standardPaletteColors();

    // Column bands of 16: the mean green of the dithered output follows the source much
    // more closely than the undithered output, which jumps between a few entries.
    double flatError = 0, ditherError = 0;
    int bandsWithSeveralIndexes = 0;
    for (int band = 0; band < width / 16; ++band) {
        double flatSum = 0, ditherSum = 0, sourceSum = 0;
        std::set<int> indexes;
        for (int y = 0; y < height; ++y)
            for (int x = band * 16; x < band * 16 + 16; ++x) {
                flatSum += colorGreen(palette[flat.topRow(y)[x]]);
                ditherSum += colorGreen(palette[diffused.topRow(y)[x]]);
                sourceSum += x;
                indexes.insert(diffused.topRow(y)[x]);
            }
        flatError += std::fabs(flatSum - sourceSum) / (16 * height);
        ditherError += std::fabs(ditherSum - sourceSum) / (16 * height);
        bandsWithSeveralIndexes += indexes.size() > 1;
    }
    EXPECT_LT(ditherError * 2, flatError);
    EXPECT_GT(bandsWithSeveralIndexes, width / 16 / 2);
}

TEST(ReduceTo8Bits, RefusesWhatIsNotTwentyFourBits) {
    PictureImage eight(4, 4, 8);
    EXPECT_TRUE(reduceTo8Bits(eight, true).isNull());
    PictureImage none;
    EXPECT_TRUE(reduceTo8Bits(none, false).isNull());
}

} // namespace
} // namespace swivio
