#include <random>

#include <gtest/gtest.h>

#include "encode/image/standard_palette.h"

namespace swivio {
namespace {

TEST(StandardPalette, HasTheSystemColoursAndTheGreyRamp) {
    // The twenty fixed system colours at both ends.
    EXPECT_EQ(kStandardPalette[0], 0x000000u);
    EXPECT_EQ(kStandardPalette[7], 0xC0C0C0u);
    EXPECT_EQ(kStandardPalette[9], 0xA6CAF0u);
    EXPECT_EQ(kStandardPalette[246], 0xFFFBF0u);
    EXPECT_EQ(kStandardPalette[249], 0xFF0000u);
    EXPECT_EQ(kStandardPalette[255], 0xFFFFFFu);
    // 226..245: F2F2F2 down to 0E0E0E in steps of 0C.
    for (int i = 226; i <= 245; ++i) {
        const uint32_t v = 0xF2 - 0x0C * uint32_t(i - 226);
        EXPECT_EQ(kStandardPalette[i], v << 16 | v << 8 | v) << "entry " << i;
    }
    // Every entry is distinct, so each maps back to itself.
    for (int i = 0; i < 256; ++i)
        for (int j = i + 1; j < 256; ++j)
            ASSERT_NE(kStandardPalette[i], kStandardPalette[j]) << i << " and " << j;
}

TEST(StandardPalette, ColoursAreBlueGreenRedForPictures) {
    const std::vector<uint32_t>& colors = standardPaletteColors();
    ASSERT_EQ(colors.size(), 256u);
    EXPECT_EQ(colors[249], 0x0000FFu); // pure red: red in the low byte
    EXPECT_EQ(colors[252], 0xFF0000u); // pure blue
    EXPECT_EQ(colors[1], 0x000080u);   // 800000 is dark red
}

TEST(StandardPaletteMatcher, PaletteColoursMapToThemselves) {
    const StandardPaletteMatcher matcher;
    for (int i = 0; i < 256; ++i) {
        const uint32_t c = kStandardPalette[i];
        EXPECT_EQ(matcher.nearest(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF), i);
    }
    EXPECT_EQ(matcher.nearest(0, 0, 0), 0);
    EXPECT_EQ(matcher.nearest(255, 255, 255), 255);
    EXPECT_EQ(matcher.nearest(255, 0, 0), 249);
}

TEST(StandardPaletteMatcher, TiesGoToTheLowestIndex) {
    // (0x80, 0x80, 0x40) is 0x40 from 808000 (index 3) on blue and 0x40 from 808080
    // (index 248): equal distances, index 3 must win unless another entry is nearer.
    const int r = 0x80, g = 0x80, b = 0x40;
    const int expected = nearestPaletteIndex(kStandardPalette, r, g, b);
    EXPECT_EQ(StandardPaletteMatcher().nearest(r, g, b), expected);
    // And the brute-force search itself keeps the first of equal distances.
    std::array<uint32_t, 256> twin = kStandardPalette;
    twin[200] = 0x123456;
    twin[100] = 0x123456;
    EXPECT_EQ(nearestPaletteIndex(twin, 0x12, 0x34, 0x57), 100);
}

TEST(StandardPaletteMatcher, AgreesWithTheFullSearch) {
    const StandardPaletteMatcher matcher;
    // Every cell edge (7 and 8 of each cell on all three axes) plus a regular grid...
    std::vector<int> edges;
    for (int v = 0; v < 256; v += 8) {
        edges.push_back(v);
        edges.push_back(v + 7);
    }
    for (int r : edges)
        for (int g : edges)
            for (int b : edges)
                ASSERT_EQ(matcher.nearest(r, g, b), nearestPaletteIndex(kStandardPalette, r, g, b))
                    << r << "," << g << "," << b;
    // ...and a million random colours.
    std::mt19937 random(1234);
    for (int i = 0; i < 1000000; ++i) {
        const uint32_t c = random();
        const int r = c & 0xFF, g = c >> 8 & 0xFF, b = c >> 16 & 0xFF;
        ASSERT_EQ(matcher.nearest(r, g, b), nearestPaletteIndex(kStandardPalette, r, g, b))
            << r << "," << g << "," << b;
    }
}

} // namespace
} // namespace swivio
