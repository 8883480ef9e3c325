// MJPEG pictures come back from libavcodec's decoder as close to what went in as a JPEG of
// that quantiser allows: the colour conversion ahead of the encoder costs no quality.
#include <cmath>

#include <gtest/gtest.h>

#include "encode/avi/avi_writer.h"
#include "tests/encode/avi/avi_inspect.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

constexpr uint32_t kMjpg = 'M' | ('J' << 8) | ('P' << 16) | ('G' << 24);

// Smooth gradients in every channel, crossed by hard-edged coloured bars: what video and
// drawn movies both hold.
Frame testPicture(int width, int height) {
    Frame frame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            auto r = uint8_t(255 * x / std::max(width - 1, 1));
            auto g = uint8_t(255 * y / std::max(height - 1, 1));
            auto b = uint8_t((x + y) % 256);
            if ((x / 24) % 5 == 1)
                r = 230, g = 40, b = 60;
            if ((y / 20) % 6 == 2)
                r = 20, g = 90, b = 220;
            frame.setPixel(x, y, makeColor(r, g, b));
        }
    return frame;
}

// Peak signal-to-noise ratio of the decoded picture against `frame`, over all channels.
double psnr(const testkit::DecodedPicture& decoded, const Frame& frame) {
    double squares = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const uint32_t a = decoded.colorAt(x, y), b = frame.pixel(x, y);
            for (int shift : {0, 8, 16}) {
                const double d = double((a >> shift) & 0xFF) - double((b >> shift) & 0xFF);
                squares += d * d;
            }
        }
    const double mean = squares / (3.0 * frame.width() * frame.height());
    return 10 * std::log10(255.0 * 255.0 / std::max(mean, 1e-9));
}

// `leastDb` sits half a decibel under what the pictures reach: the colour bars' edges, blurred
// by the halved chroma, set it; a chroma sample taken off-centre or a range mix-up costs more.
struct PictureCase {
    int width, height, quality;
    double leastDb;
};

class MjpegPicture : public testing::TestWithParam<PictureCase> {};

TEST_P(MjpegPicture, DecodesCloseToTheFrame) {
    const PictureCase c = GetParam();
    const Frame frame = testPicture(c.width, c.height);
    testkit::TempDir dir;
    const std::string path = dir.file("m.avi");
    AviWriter writer;
    ASSERT_TRUE(writer.open(path, c.width, c.height, 25, kMjpg, c.quality)) << writer.errorString();
    ASSERT_TRUE(writer.writeFrame(frame)) << writer.errorString();
    ASSERT_TRUE(writer.finish()) << writer.errorString();
    const auto pictures = testkit::decodeVideo(path);
    ASSERT_EQ(pictures.size(), 1u);
    ASSERT_EQ(pictures[0].width, c.width);
    EXPECT_GE(psnr(pictures[0], frame), c.leastDb);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MjpegPicture,
                         testing::Values(PictureCase{640, 480, 0, 34.5},
                                         PictureCase{164, 121, 0, 39.0},
                                         PictureCase{640, 480, 100, 35.0},
                                         PictureCase{640, 480, 30, 29.5}));

} // namespace
} // namespace swivio
