#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "swf/image/bitmap_decoder.h"
#include "tests/support/bitmap_tags.h"

namespace swivio::swf {
namespace {

using testkit::RgbaPicture;

constexpr uint16_t kDefineBits = 6;
constexpr uint16_t kJpeg2 = 21;
constexpr uint16_t kJpeg3 = 35;
constexpr uint16_t kJpeg4 = 90;

const std::vector<uint32_t> kBands = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

std::vector<uint8_t> bytesOf(const uint32_t pixel) {
    uint8_t b[4];
    std::memcpy(b, &pixel, 4);
    return {b[0], b[1], b[2], b[3]};
}

// JPEG is lossy: colours inside each band (away from its edges) must be near the original.
void expectBands(const Bitmap& bitmap, const RgbaPicture& picture, int tolerance = 12) {
    ASSERT_EQ(bitmap.width, picture.width);
    ASSERT_EQ(bitmap.height, picture.height);
    ASSERT_EQ(bitmap.pixels.size(), std::size_t(picture.width) * picture.height);
    const int bandWidth = picture.width / static_cast<int>(kBands.size());
    for (int band = 0; band < static_cast<int>(kBands.size()); ++band) {
        const int x = band * bandWidth + bandWidth / 2;
        for (int y : {1, picture.height / 2, picture.height - 2}) {
            const std::vector<uint8_t> got = bytesOf(bitmap.at(x, y));
            const uint8_t* want = picture.at(x, y);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(got[c], want[c], tolerance) << "band " << band << " y " << y;
            EXPECT_EQ(got[3], 255);
        }
    }
}

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

const std::vector<uint8_t> kStrayPair = {0xFF, 0xD9, 0xFF, 0xD8};

class JpegBitmapTest : public ::testing::Test {
protected:
    RgbaPicture picture = testkit::bandPicture(64, 32, kBands, 255);
};

TEST_F(JpegBitmapTest, CompleteJpegInJpeg2DecodesWithAndWithoutStrayMarkers) {
    const std::vector<uint8_t> jpeg = testkit::encodeJpeg(picture);
    for (const auto& body : {jpeg, concat({kStrayPair, jpeg})}) {
        auto bitmap = decodeBitmapTag(kJpeg2, body, {});
        ASSERT_TRUE(bitmap.ok()) << bitmap.message();
        expectBands(*bitmap, picture);
        EXPECT_TRUE(bitmap->opaque);
    }
}

TEST_F(JpegBitmapTest, DefineBitsTakesTablesFromJpegTables) {
    const testkit::SplitJpeg split = testkit::encodeSplitJpeg(picture);
    // The abbreviated image alone cannot be decoded: its quantisation tables are elsewhere.
    EXPECT_FALSE(decodeBitmapTag(kDefineBits, split.image, {}).ok());
    for (const auto& image : {split.image, concat({kStrayPair, split.image})}) {
        auto bitmap = decodeBitmapTag(kDefineBits, image, split.tables);
        ASSERT_TRUE(bitmap.ok()) << bitmap.message();
        expectBands(*bitmap, picture);
    }
    // Data with its own tables needs no JPEGTables.
    auto complete = decodeBitmapTag(kDefineBits, testkit::encodeJpeg(picture), {});
    ASSERT_TRUE(complete.ok()) << complete.message();
    expectBands(*complete, picture);
    // Tables with the stray pair in front too.
    auto bitmap = decodeBitmapTag(kDefineBits, split.image, concat({kStrayPair, split.tables}));
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    expectBands(*bitmap, picture);
}

TEST_F(JpegBitmapTest, TablesAndImageInOneJpeg2Stream) {
    const testkit::SplitJpeg split = testkit::encodeSplitJpeg(picture);
    auto bitmap = decodeBitmapTag(kJpeg2, concat({split.tables, split.image}), {});
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    expectBands(*bitmap, picture);
}

TEST_F(JpegBitmapTest, ProgressiveAndGrayscaleJpegs) {
    auto progressive =
        decodeBitmapTag(kJpeg2, testkit::encodeJpeg(picture, {.progressive = true}), {});
    ASSERT_TRUE(progressive.ok()) << progressive.message();
    expectBands(*progressive, picture);

    const RgbaPicture gray = testkit::bandPicture(32, 16, {0x202020, 0xC0C0C0}, 255);
    auto bitmap = decodeBitmapTag(kJpeg2, testkit::encodeJpeg(gray, {.grayscale = true}), {});
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    EXPECT_NEAR(bytesOf(bitmap->at(4, 8))[1], 0x20, 6);
    EXPECT_NEAR(bytesOf(bitmap->at(28, 8))[2], 0xC0, 6);
}

TEST_F(JpegBitmapTest, AlphaPlanePremultipliesJpeg3AndJpeg4) {
    // Alpha rises along x, one value per column, so each pixel's expected alpha is known.
    std::vector<uint8_t> alpha(std::size_t(picture.width) * picture.height);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            alpha[std::size_t(y) * picture.width + x] = uint8_t(x * 4);
    const std::vector<uint8_t> jpeg = testkit::encodeJpeg(picture);
    for (auto [tag, deblocking] : {std::pair{kJpeg3, -1}, std::pair{kJpeg4, 3}}) {
        auto bitmap = decodeBitmapTag(tag, testkit::jpegWithAlphaBody(jpeg, alpha, deblocking), {});
        ASSERT_TRUE(bitmap.ok()) << bitmap.message();
        EXPECT_FALSE(bitmap->opaque);
        for (int x : {8, 24, 40, 56}) {
            const std::vector<uint8_t> got = bytesOf(bitmap->at(x, 10));
            EXPECT_EQ(got[3], x * 4);
            const uint8_t* want = picture.at(x, 10);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(got[c], want[c] * (x * 4) / 255.0, 8) << "x " << x;
            for (int c = 0; c < 3; ++c)
                EXPECT_LE(got[c], got[3]);
        }
    }
}

TEST_F(JpegBitmapTest, Jpeg3WithoutAlphaDataIsOpaqueAndShortAlphaLeavesRestOpaque) {
    const std::vector<uint8_t> jpeg = testkit::encodeJpeg(picture);
    auto bitmap = decodeBitmapTag(kJpeg3, testkit::jpegWithAlphaBody(jpeg, {}), {});
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    EXPECT_TRUE(bitmap->opaque);
    expectBands(*bitmap, picture);

    // An alpha plane of only the first row: later rows stay opaque.
    std::vector<uint8_t> firstRow(std::size_t(picture.width), 0);
    bitmap = decodeBitmapTag(kJpeg3, testkit::jpegWithAlphaBody(jpeg, firstRow), {});
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    EXPECT_EQ(bitmap->at(5, 0), 0u);
    EXPECT_EQ(bytesOf(bitmap->at(5, 1))[3], 255);
}

TEST_F(JpegBitmapTest, Jpeg3AlphaOffsetPastTheEndIsRefused) {
    std::vector<uint8_t> body =
        testkit::jpegWithAlphaBody(testkit::encodeJpeg(picture), std::vector<uint8_t>(64, 1));
    body[3] = 0x7F; // picture size far beyond the tag
    auto bitmap = decodeBitmapTag(kJpeg3, body, {});
    ASSERT_FALSE(bitmap.ok());
    EXPECT_NE(bitmap.message().find("DefineBitsJPEG3"), std::string::npos);
    EXPECT_FALSE(decodeBitmapTag(kJpeg4, std::vector<uint8_t>{4, 0, 0, 0, 0}, {}).ok());
}

TEST_F(JpegBitmapTest, TruncatedJpegDecodesTheRowsThatArrived) {
    const RgbaPicture tall = testkit::bandPicture(64, 128, kBands, 255);
    std::vector<uint8_t> jpeg = testkit::encodeJpeg(tall);
    // Cut half-way through the entropy-coded data that follows the start-of-scan header.
    std::size_t sos = 0;
    while (sos + 1 < jpeg.size() && !(jpeg[sos] == 0xFF && jpeg[sos + 1] == 0xDA))
        ++sos;
    ASSERT_LT(sos + 1, jpeg.size());
    jpeg.resize(sos + (jpeg.size() - sos) / 2);
    auto bitmap = decodeBitmapTag(kJpeg2, jpeg, {});
    ASSERT_TRUE(bitmap.ok()) << bitmap.message();
    ASSERT_EQ(bitmap->height, 128);
    EXPECT_NEAR(bytesOf(bitmap->at(8, 2))[0], 255, 12);
    EXPECT_NEAR(bytesOf(bitmap->at(24, 2))[1], 255, 12);
}

// Rewrites the frame size in a JPEG's SOF0 segment.
std::vector<uint8_t> withFrameSize(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height) {
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = uint8_t(height >> 8);
            jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8);
            jpeg[i + 8] = uint8_t(width);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no SOF0";
    return jpeg;
}

TEST_F(JpegBitmapTest, OversizedAndDamagedJpegsAreRefused) {
    const std::vector<uint8_t> jpeg = testkit::encodeJpeg(picture);
    for (auto [w, h] : {std::pair{8192, 1}, std::pair{1, 8192}, std::pair{4096, 4097}}) {
        auto bitmap = decodeBitmapTag(kJpeg2, withFrameSize(jpeg, uint16_t(w), uint16_t(h)), {});
        ASSERT_FALSE(bitmap.ok()) << w << "x" << h;
        EXPECT_NE(bitmap.message().find("not allowed"), std::string::npos) << bitmap.message();
    }
    // 8191 a side is allowed (the decoder then finds the data short, which it may accept).
    auto largest = decodeBitmapTag(kJpeg2, withFrameSize(jpeg, 8191, 16), {});
    if (largest.ok()) {
        EXPECT_EQ(largest->width, 8191);
    }

    EXPECT_FALSE(decodeBitmapTag(kJpeg2, {}, {}).ok());
    EXPECT_FALSE(decodeBitmapTag(kJpeg2, std::vector<uint8_t>{0xFF, 0xD8, 0xFF}, {}).ok());
    EXPECT_FALSE(decodeBitmapTag(kJpeg2, std::vector<uint8_t>(100, 0x42), {}).ok());
    EXPECT_FALSE(decodeBitmapTag(7, jpeg, {}).ok()); // not a bitmap tag
}

} // namespace
} // namespace swivio::swf
