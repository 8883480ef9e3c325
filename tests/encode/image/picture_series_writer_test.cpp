#include <filesystem>

#include <gtest/gtest.h>

#include "base/byte_reader.h"
#include "encode/image/picture_series_writer.h"
#include "encode/image/standard_palette.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

// A frame with distinct quadrants, so that flipped or shifted rows show.
Frame quadrants(int width, int height) {
    Frame frame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            frame.setPixel(x, y,
                           !right && !bottom  ? makeColor(0xFF, 0, 0)
                           : right && !bottom ? makeColor(0, 0xFF, 0)
                           : !right           ? makeColor(0, 0, 0xFF)
                                              : makeColor(0xFF, 0xFF, 0xFF));
        }
    return frame;
}

TEST(PictureSeriesFileName, IndexWithoutPaddingInTheFolder) {
    EXPECT_EQ(pictureSeriesFileName("/out", PictureFileType::Bmp, 0), "/out/0.bmp");
    EXPECT_EQ(pictureSeriesFileName("/out/", PictureFileType::Png, 12), "/out/12.png");
    EXPECT_EQ(pictureSeriesFileName("/out", PictureFileType::Jpeg, 3), "/out/3.jpg");
    EXPECT_EQ(pictureSeriesFileName("/out", PictureFileType::Gif, 1000), "/out/1000.gif");
    EXPECT_EQ(pictureSeriesFileName("/", PictureFileType::Bmp, 5), "/5.bmp");
    // No folder: the current one, not the root.
    EXPECT_EQ(pictureSeriesFileName("", PictureFileType::Bmp, 5), "5.bmp");
}

TEST(PictureSeriesWriter, BmpHeadersFieldByField) {
    testkit::TempDir dir;
    PictureSeriesWriter writer(dir.path().string(), PictureFileType::Bmp, 80, false);
    const Frame frame = quadrants(8, 6);
    ASSERT_TRUE(writer.writeFrame(frame, 0));
    ASSERT_TRUE(writer.finish());
    const std::vector<uint8_t> bytes = testkit::readFileBytes(dir.file("0.bmp"));
    ASSERT_EQ(bytes.size(), 54u + 8 * 6 * 3);
    ByteReader r(bytes);
    EXPECT_EQ(r.u8(), 'B');
    EXPECT_EQ(r.u8(), 'M');
    EXPECT_EQ(r.u32(), 54u + 144u); // file size
    EXPECT_EQ(r.u16(), 0);          // reserved
    EXPECT_EQ(r.u16(), 0);
    EXPECT_EQ(r.u32(), 54u); // pixel offset
    EXPECT_EQ(r.u32(), 40u); // information header size
    EXPECT_EQ(r.s32(), 8);   // width
    EXPECT_EQ(r.s32(), 6);   // height, positive: bottom row first
    EXPECT_EQ(r.u16(), 1);   // planes
    EXPECT_EQ(r.u16(), 24);  // bits
    EXPECT_EQ(r.u32(), 0u);  // no compression
    EXPECT_EQ(r.u32(), 144u);
    // The pixels are the frame's bytes: bottom row first, blue-green-red.
    EXPECT_TRUE(std::equal(frame.bytes().begin(), frame.bytes().end(), bytes.begin() + 54));
    EXPECT_EQ(bytes[54 + 2], 0x00); // bottom-left is blue: red byte 0
    EXPECT_EQ(bytes[54], 0xFF);
}

TEST(PictureSeriesWriter, PngReadsBackExactly) {
    testkit::TempDir dir;
    PictureSeriesWriter writer(dir.path().string(), PictureFileType::Png, 80, false);
    const Frame frame = quadrants(16, 10);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(writer.writeFrame(frame, i));
    ASSERT_TRUE(writer.finish());
    for (int i = 0; i < 3; ++i) {
        const auto png = testkit::readPngFile(dir.file(std::to_string(i) + ".png"));
        ASSERT_TRUE(png.ok) << png.error;
        ASSERT_EQ(png.width, 16);
        ASSERT_EQ(png.height, 10);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(png.at(x, y), frame.pixel(x, y)) << x << "," << y;
    }
}

TEST(PictureSeriesWriter, JpegFollowsTheQuality) {
    testkit::TempDir dir;
    Frame frame(64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            frame.setPixel(x, y, makeColor(uint8_t(x * 4), uint8_t(y * 5), uint8_t((x ^ y) * 4)));
    std::vector<std::uintmax_t> sizes;
    std::vector<double> errors;
    for (int quality : {10, 95}) {
        const std::string folder = dir.file("q" + std::to_string(quality));
        std::filesystem::create_directory(folder);
        PictureSeriesWriter writer(folder, PictureFileType::Jpeg, quality, false);
        ASSERT_TRUE(writer.writeFrame(frame, 0));
        ASSERT_TRUE(writer.finish());
        const std::string path = folder + "/0.jpg";
        const auto jpeg = testkit::readJpegFile(path);
        ASSERT_TRUE(jpeg.ok) << jpeg.error;
        ASSERT_EQ(jpeg.width, 64);
        ASSERT_EQ(jpeg.height, 48);
        double error = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const uint32_t a = jpeg.at(x, y), b = frame.pixel(x, y);
                error += std::abs(int(colorRed(a)) - colorRed(b)) +
                         std::abs(int(colorGreen(a)) - colorGreen(b)) +
                         std::abs(int(colorBlue(a)) - colorBlue(b));
            }
        errors.push_back(error / (64 * 48 * 3));
        sizes.push_back(std::filesystem::file_size(path));
        // A JFIF file: SOI then the APP0 "JFIF" segment.
        const auto bytes = testkit::readFileBytes(path);
        ASSERT_GT(bytes.size(), 12u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xD8);
        EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 10), "JFIF");
    }
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_GT(errors[0], errors[1]);
    EXPECT_LT(errors[1], 6.0);
}

TEST(PictureSeriesWriter, GifKeepsPaletteColours) {
    testkit::TempDir dir;
    PictureSeriesWriter writer(dir.path().string(), PictureFileType::Gif, 80, true);
    const Frame frame = quadrants(20, 10); // red, green, blue, white: all palette entries
    ASSERT_TRUE(writer.writeFrame(frame, 4));
    ASSERT_TRUE(writer.finish());
    const auto gif = testkit::readGifFile(dir.file("4.gif"));
    ASSERT_TRUE(gif.ok) << gif.error;
    ASSERT_EQ(gif.images.size(), 1u);
    EXPECT_EQ(gif.loopCount, -1);
    EXPECT_EQ(gif.images[0].delay, 0);
    EXPECT_EQ(gif.images[0].disposal, 0);
    const auto& image = gif.images[0];
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(gif.globalPalette[image.indexes[std::size_t(y) * 20 + x]], frame.pixel(x, y));
}

TEST(PictureSeriesWriter, FileThatCannotBeCreatedIsSkipped) {
    testkit::TempDir dir;
    const std::string folder = dir.file("series");
    std::filesystem::create_directory(folder);
    // A folder in the way of picture 1.
    std::filesystem::create_directory(folder + "/1.bmp");
    PictureSeriesWriter writer(folder, PictureFileType::Bmp, 80, false);
    const Frame frame = quadrants(8, 2);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(writer.writeFrame(frame, i));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "/0.bmp"));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "/2.bmp"));
    EXPECT_FALSE(writer.finish());
    EXPECT_EQ(writer.failedCount(), 1);
    EXPECT_NE(writer.errorString().find("1.bmp"), std::string::npos);
}

TEST(PictureSeriesWriter, ReplacesAnExistingFile) {
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("0.bmp"), std::vector<uint8_t>(5000, 0xAA));
    PictureSeriesWriter writer(dir.path().string(), PictureFileType::Bmp, 80, false);
    ASSERT_TRUE(writer.writeFrame(quadrants(4, 2), 0));
    EXPECT_EQ(std::filesystem::file_size(dir.file("0.bmp")), 54u + 24u);
}

} // namespace
} // namespace swivio
