#include <gtest/gtest.h>

#include <vector>

#include "swf/raster/frame_pixels.h"
#include "swf/raster/pixel_ops.h"

namespace swivio::swf::raster {
namespace {

uint32_t nextRandom(uint32_t& seed) {
    return seed = seed * 1664525u + 1013904223u;
}

// Rows of every length up to past several sixteen-pixel groups, opaque runs broken by
// translucent pixels here and there: each frame pixel must be the surface pixel over the old
// one, and no byte past the row may change.
TEST(FramePixels, StoredRowsMatchPixelByPixelComposition) {
    uint32_t seed = 7;
    for (int count = 0; count <= 70; ++count) {
        for (int translucentEvery : {0, 5, 17, 40}) {
            std::vector<uint32_t> in(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i) {
                uint32_t a = 255;
                if (translucentEvery && i % translucentEvery == translucentEvery - 1) {
                    a = nextRandom(seed) % 255;
                }
                const uint32_t r = nextRandom(seed) % (a + 1), g = nextRandom(seed) % (a + 1);
                in[std::size_t(i)] = packPixel(r, g, nextRandom(seed) % (a + 1), a);
            }
            std::vector<uint8_t> out(std::size_t(count) * 3 + 8);
            for (uint8_t& b : out) {
                b = uint8_t(nextRandom(seed));
            }
            // Over what the frame holds, then over a colour given for what lies beneath.
            for (uint32_t under : {0u, packPixel(10, 200, 30, 255)}) {
                std::vector<uint8_t> expected = out;
                for (int i = 0; i < count; ++i) {
                    const uint32_t p = under ? over(under, in[std::size_t(i)]) : in[std::size_t(i)];
                    const uint32_t keep = 255 - pixelA(p);
                    uint8_t* e = expected.data() + i * 3;
                    e[0] = uint8_t(pixelB(p) + mul255(e[0], keep));
                    e[1] = uint8_t(pixelG(p) + mul255(e[1], keep));
                    e[2] = uint8_t(pixelR(p) + mul255(e[2], keep));
                }
                std::vector<uint8_t> stored = out;
                storeFrameRow(in.data(), stored.data(), count, under);
                ASSERT_EQ(stored, expected) << count << " " << translucentEvery << " " << under;
            }
        }
    }
}

TEST(FramePixels, LoadedRowsAreOpaqueAndKeepTheirColours) {
    for (int count : {0, 1, 2, 5, 33}) {
        std::vector<uint8_t> in(static_cast<std::size_t>(count) * 3);
        for (std::size_t i = 0; i < in.size(); ++i) {
            in[i] = uint8_t(i * 37 + 11);
        }
        std::vector<uint32_t> out(std::size_t(count) + 1, 0x12345678u);
        loadFrameRow(in.data(), out.data(), count);
        for (int i = 0; i < count; ++i) {
            const uint8_t* bgr = in.data() + i * 3;
            EXPECT_EQ(out[std::size_t(i)], packPixel(bgr[2], bgr[1], bgr[0], 255)) << i;
        }
        EXPECT_EQ(out.back(), 0x12345678u);
    }
}

TEST(FramePixels, FillCoversTheBoxInsideTheFrameOnly) {
    Frame frame(10, 6);
    frame.fill(makeColor(1, 2, 3));
    fillFrame(frame, {-5, 4, 3, 100}, makeColor(200, 100, 50));
    EXPECT_EQ(frame.pixel(0, 4), makeColor(200, 100, 50));
    EXPECT_EQ(frame.pixel(2, 5), makeColor(200, 100, 50));
    EXPECT_EQ(frame.pixel(3, 5), makeColor(1, 2, 3));
    EXPECT_EQ(frame.pixel(0, 3), makeColor(1, 2, 3));
    fillFrame(frame, {8, 0, 4, 6}, makeColor(9, 9, 9)); // empty box
    EXPECT_EQ(frame.pixel(5, 0), makeColor(1, 2, 3));
}

} // namespace
} // namespace swivio::swf::raster
