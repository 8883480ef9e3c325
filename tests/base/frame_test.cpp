#include <cstdint>

#include <gtest/gtest.h>

#include "base/frame.h"

namespace swivio {
namespace {

struct FillCase {
    int width;
    int height;
};

class FrameFill : public testing::TestWithParam<FillCase> {};

// Every pixel gets the colour with its bytes in B, G, R order, over whatever the frame held,
// whether the frame is a single pixel, a single row or a whole picture.
TEST_P(FrameFill, EveryPixelTakesTheColourInBgrOrder) {
    const FillCase c = GetParam();
    Frame frame(c.width, c.height);
    frame.fill(makeColor(1, 2, 3));
    frame.fill(makeColor(0x12, 0x34, 0x56));
    int wrong = 0;
    for (std::size_t i = 0; i < frame.byteSize(); i += 3) {
        const uint8_t* p = frame.data() + i;
        wrong += p[0] != 0x56 || p[1] != 0x34 || p[2] != 0x12;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(frame.byteSize(), std::size_t(c.width) * std::size_t(c.height) * 3);
    if (!frame.isEmpty()) {
        EXPECT_EQ(frame.pixel(c.width - 1, 0), makeColor(0x12, 0x34, 0x56));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FrameFill,
                         testing::Values(FillCase{0, 0}, FillCase{1, 1}, FillCase{4, 1},
                                         FillCase{4, 3}, FillCase{12, 7}, FillCase{640, 480},
                                         FillCase{1924, 3}));

} // namespace
} // namespace swivio
