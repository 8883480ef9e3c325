#include <filesystem>

#include <gtest/gtest.h>

#include "base/byte_writer.h"
#include "encode/image/bmp_file.h"
#include "encode/image/picture_file.h"
#include "tests/support/bitmap_tags.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using testkit::PixelFn;

uint32_t pattern(int x, int y) {
    return makeColor(uint8_t(x * 16 + 3), uint8_t(y * 20 + 5), uint8_t((x + y) * 8));
}

void expectPixels(const PictureImage& image, int width, int height, const PixelFn& expected,
                  int tolerance = 0) {
    ASSERT_EQ(image.width(), width);
    ASSERT_EQ(image.height(), height);
    ASSERT_EQ(image.bitsPerPixel(), 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t a = image.pixel(x, y), b = expected(x, y);
            ASSERT_NEAR(colorRed(a), colorRed(b), tolerance) << x << "," << y;
            ASSERT_NEAR(colorGreen(a), colorGreen(b), tolerance) << x << "," << y;
            ASSERT_NEAR(colorBlue(a), colorBlue(b), tolerance) << x << "," << y;
        }
}

struct BmpCase {
    int bits;
    bool topDown;
};
class BmpDepths : public testing::TestWithParam<BmpCase> {};

TEST_P(BmpDepths, ReadsEveryPixel) {
    const auto [bits, topDown] = GetParam();
    const int width = 13, height = 7; // odd width: rows carry padding
    std::vector<uint32_t> palette;
    PixelFn pixel = pattern;
    PixelFn expected = pattern;
    if (bits <= 8) {
        const int colors = 1 << bits;
        for (int i = 0; i < colors; ++i)
            palette.push_back(makeColor(uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 11)));
        pixel = [colors](int x, int y) { return uint32_t((x * 3 + y) % colors); };
        expected = [palette, pixel](int x, int y) { return palette[pixel(x, y)]; };
    } else if (bits == 16) {
        // Five bits a channel, widened by repeating the top bits.
        expected = [](int x, int y) {
            const uint32_t c = pattern(x, y);
            auto widen = [](uint8_t v) { return uint8_t((v & 0xF8) | (v >> 5)); };
            return makeColor(widen(colorRed(c)), widen(colorGreen(c)), widen(colorBlue(c)));
        };
    }
    const std::vector<uint8_t> file =
        testkit::makeBmp(bits, width, height, topDown, pixel, palette);
    Result<PictureImage> image = decodeBmp(file);
    ASSERT_TRUE(image) << image.message();
    expectPixels(*image, width, height, expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, BmpDepths,
                         testing::Values(BmpCase{1, false}, BmpCase{4, false}, BmpCase{8, false},
                                         BmpCase{8, true}, BmpCase{16, false}, BmpCase{24, false},
                                         BmpCase{24, true}, BmpCase{32, false}));

TEST(BmpFile, WhatSwivioWritesReadsBack) {
    PictureImage image(9, 5, 24);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x) {
            uint8_t* p = image.topRow(y) + x * 3;
            const uint32_t c = pattern(x, y);
            p[0] = colorBlue(c);
            p[1] = colorGreen(c);
            p[2] = colorRed(c);
        }
    const std::vector<uint8_t> file = encodeBmp(image);
    EXPECT_EQ(file.size(), 54u + 28u * 5u); // 27 bytes a row padded to 28
    Result<PictureImage> back = decodeBmp(file);
    ASSERT_TRUE(back) << back.message();
    expectPixels(*back, 9, 5, pattern);
}

struct HostileCase {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
    PictureFileType type;
};
class HostilePictures : public testing::TestWithParam<HostileCase> {};

std::vector<uint8_t> bmpWithSize(int32_t width, int32_t height, int bits) {
    std::vector<uint8_t> file = testkit::makeBmp(bits, 4, 4, false, pattern);
    ByteWriter patch(file);
    EXPECT_TRUE(patch.patch32(18, uint32_t(width)));
    EXPECT_TRUE(patch.patch32(22, uint32_t(height)));
    return file;
}

std::vector<uint8_t> truncated(std::vector<uint8_t> file, std::size_t keep) {
    file.resize(std::min(keep, file.size()));
    return file;
}

std::vector<uint8_t> pngWithSize(uint32_t width, uint32_t height) {
    // Patch the IHDR of a small PNG; the CRC no longer matches, so also test the reader
    // refusing it either way.
    std::vector<uint8_t> file = testkit::makePng(4, 4, 2, 8, pattern);
    for (int i = 0; i < 4; ++i) {
        file[16 + i] = uint8_t(width >> (24 - 8 * i));
        file[20 + i] = uint8_t(height >> (24 - 8 * i));
    }
    return file;
}

std::vector<uint8_t> gifWithImageSize(int width, int height) {
    std::vector<uint8_t> file =
        testkit::makeGif(4, 4, {0, 0xFFFFFF}, {[](int x, int y) { return uint32_t((x + y) & 1); }});
    // Image descriptor after the 13-byte header and the 2-entry table (6 bytes).
    const std::size_t at = 13 + 6;
    EXPECT_EQ(file[at], 0x2C);
    file[at + 5] = uint8_t(width);
    file[at + 6] = uint8_t(width >> 8);
    file[at + 7] = uint8_t(height);
    file[at + 8] = uint8_t(height >> 8);
    return file;
}

TEST_P(HostilePictures, AreRefusedWithoutACrash) {
    const HostileCase& c = GetParam();
    Result<PictureImage> image = decodePicture(c.make(), c.type);
    EXPECT_FALSE(image);
    EXPECT_FALSE(image.message().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostilePictures,
    testing::Values(
        HostileCase{"BmpGiant", [] { return bmpWithSize(100000, 100000, 24); },
                    PictureFileType::Bmp},
        HostileCase{"BmpGiantTopDown", [] { return bmpWithSize(30000, -30000, 8); },
                    PictureFileType::Bmp},
        HostileCase{"BmpMostNegativeHeight", [] { return bmpWithSize(4, INT32_MIN, 24); },
                    PictureFileType::Bmp},
        HostileCase{"BmpZeroWidth", [] { return bmpWithSize(0, 4, 24); }, PictureFileType::Bmp},
        HostileCase{"BmpLargeButTruncated", [] { return bmpWithSize(4000, 4000, 32); },
                    PictureFileType::Bmp},
        HostileCase{"BmpTruncatedHeader",
                    [] { return truncated(testkit::makeBmp(24, 4, 4, false, pattern), 30); },
                    PictureFileType::Bmp},
        HostileCase{"BmpTruncatedPixels",
                    [] { return truncated(testkit::makeBmp(24, 4, 4, false, pattern), 80); },
                    PictureFileType::Bmp},
        HostileCase{"BmpEmpty", [] { return std::vector<uint8_t>{}; }, PictureFileType::Bmp},
        HostileCase{"PngGiant", [] { return pngWithSize(60000, 60000); }, PictureFileType::Png},
        HostileCase{"PngTruncated",
                    [] { return truncated(testkit::makePng(64, 64, 2, 8, pattern), 60); },
                    PictureFileType::Png},
        HostileCase{"PngNotAPng", [] { return std::vector<uint8_t>(100, 0x42); },
                    PictureFileType::Png},
        HostileCase{"JpegTruncatedHeader",
                    [] { return truncated(testkit::makeJpeg(32, 32, 80, pattern), 20); },
                    PictureFileType::Jpeg},
        HostileCase{"JpegNotAJpeg", [] { return std::vector<uint8_t>(100, 0x42); },
                    PictureFileType::Jpeg},
        HostileCase{"GifGiantImage", [] { return gifWithImageSize(65535, 65535); },
                    PictureFileType::Gif},
        HostileCase{"GifTruncated",
                    [] {
                        return truncated(testkit::makeGif(64, 64, {0, 0xFF}, {[](int x, int y) {
                                                              return uint32_t((x ^ y) & 1);
                                                          }}),
                                         40);
                    },
                    PictureFileType::Gif},
        HostileCase{"GifNoImage",
                    [] {
                        std::vector<uint8_t> f = {'G', 'I', 'F', '8', '9', 'a', 4,
                                                  0,   4,   0,   0,   0,   0,   0x3B};
                        return f;
                    },
                    PictureFileType::Gif}),
    [](const testing::TestParamInfo<HostileCase>& param) { return std::string(param.param.name); });

struct PngCase {
    const char* name;
    int colorType;
    int bitDepth;
    bool interlaced;
};
class PngFormats : public testing::TestWithParam<PngCase> {};

TEST_P(PngFormats, DecodeToTruecolour) {
    const PngCase& c = GetParam();
    const int width = 11, height = 9;
    std::vector<uint32_t> palette;
    PixelFn pixel = pattern;
    PixelFn expected = pattern;
    if (c.colorType == 3) {
        for (int i = 0; i < 16; ++i)
            palette.push_back(makeColor(uint8_t(i * 16), uint8_t(200 - i), uint8_t(i * 3)));
        pixel = [](int x, int y) { return uint32_t((x + 2 * y) % 16); };
        expected = [palette, pixel](int x, int y) { return palette[pixel(x, y)]; };
    } else if (c.colorType == 0 || c.colorType == 4) {
        expected = [](int x, int y) {
            const uint8_t v = colorRed(pattern(x, y));
            return makeColor(v, v, v);
        };
    }
    testkit::TempDir dir;
    const std::string path = dir.file("p.png");
    testkit::writeFileBytes(path, testkit::makePng(width, height, c.colorType, c.bitDepth, pixel,
                                                   palette, c.interlaced));
    Result<PictureImage> image = loadPictureFile(path, PictureFileType::Png);
    ASSERT_TRUE(image) << image.message();
    expectPixels(*image, width, height, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PngFormats,
    testing::Values(PngCase{"Rgb", 2, 8, false}, PngCase{"Rgb16", 2, 16, false},
                    PngCase{"RgbaAlphaIgnored", 6, 8, false}, PngCase{"Grey", 0, 8, false},
                    PngCase{"GreyAlpha", 4, 8, false}, PngCase{"Palette", 3, 8, false},
                    PngCase{"Interlaced", 2, 8, true}),
    [](const testing::TestParamInfo<PngCase>& param) { return std::string(param.param.name); });

TEST(PictureLoader, JpegDecodesCloseToTheSource) {
    // Smooth colours survive JPEG well.
    const PixelFn smooth = [](int x, int y) {
        return makeColor(uint8_t(100 + x), uint8_t(50 + y), uint8_t(180));
    };
    testkit::TempDir dir;
    const std::string path = dir.file("p.jpg");
    testkit::writeFileBytes(path, testkit::makeJpeg(40, 24, 95, smooth));
    Result<PictureImage> image = loadPictureFile(path, PictureFileType::Jpeg);
    ASSERT_TRUE(image) << image.message();
    expectPixels(*image, 40, 24, smooth, 6);
}

TEST(PictureLoader, GifFirstImageInterlacedOrNot) {
    const std::vector<uint32_t> palette = {makeColor(1, 2, 3), makeColor(200, 100, 50),
                                           makeColor(0, 255, 0), makeColor(9, 9, 9)};
    const PixelFn first = [](int x, int y) { return uint32_t((x + y * 3) % 4); };
    const PixelFn second = [](int, int) { return 2u; };
    for (bool interlaced : {false, true}) {
        testkit::TempDir dir;
        const std::string path = dir.file("p.gif");
        testkit::writeFileBytes(path,
                                testkit::makeGif(10, 19, palette, {first, second}, interlaced));
        Result<PictureImage> image = loadPictureFile(path, PictureFileType::Gif);
        ASSERT_TRUE(image) << image.message();
        expectPixels(*image, 10, 19, [&](int x, int y) { return palette[first(x, y)]; });
    }
}

struct TypeCase {
    const char* path;
    std::optional<PictureFileType> type;
};
class PictureTypeByExtension : public testing::TestWithParam<TypeCase> {};

TEST_P(PictureTypeByExtension, ComparedWithoutCase) {
    EXPECT_EQ(pictureFileTypeForPath(GetParam().path), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Names, PictureTypeByExtension,
                         testing::Values(TypeCase{"/a/logo.bmp", PictureFileType::Bmp},
                                         TypeCase{"/a/logo.PNG", PictureFileType::Png},
                                         TypeCase{"/a/logo.JPEG", PictureFileType::Jpeg},
                                         TypeCase{"/a/logo.jpg", PictureFileType::Jpeg},
                                         TypeCase{"/a/logo.Gif", PictureFileType::Gif},
                                         TypeCase{"/a/logo.tif", std::nullopt},
                                         TypeCase{"/a/logo", std::nullopt},
                                         TypeCase{"/a.png/logo", std::nullopt},
                                         TypeCase{"/a/logo.png.txt", std::nullopt}));

// Picture files go through the movie's bitmap decoders, which premultiply for movies; a
// picture file (a watermark) has no alpha, so every pixel, transparent ones too, keeps its
// stored colour.
struct StoredColourCase {
    const char* name;
    const char* file;
    std::function<std::vector<uint8_t>()> make;
};
class WatermarkStoredColours : public testing::TestWithParam<StoredColourCase> {};

// Colour from position; alpha 0, 1, 128 or 255 in turn.
testkit::RgbaPicture translucentPicture() {
    testkit::RgbaPicture p{7, 5, std::vector<uint8_t>(7 * 5 * 4)};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            uint8_t* px = &p.rgba[(std::size_t(y) * 7 + x) * 4];
            const uint8_t alphas[4] = {0, 1, 128, 255};
            px[0] = uint8_t(x * 30 + 20);
            px[1] = uint8_t(y * 50 + 3);
            px[2] = uint8_t(200 - x * y);
            px[3] = alphas[(x + y) % 4];
        }
    return p;
}

uint32_t storedColour(const testkit::RgbaPicture& picture, int x, int y) {
    const uint8_t* p = picture.at(x, y);
    return makeColor(p[0], p[1], p[2]);
}

testkit::GifImage transparentGif() {
    testkit::GifImage gif;
    gif.screenWidth = gif.width = 6;
    gif.screenHeight = gif.height = 4;
    gif.paletteRgb = {0xFF0000, 0x00FF00, 0x0000FF, 0x336699};
    for (int i = 0; i < 24; ++i)
        gif.indices.push_back(uint8_t(i % 4));
    gif.transparentIndex = 3;
    return gif;
}

uint32_t gifColour(int x, int y) {
    const uint32_t rgb = transparentGif().paletteRgb[std::size_t((y * 6 + x) % 4)];
    return makeColor(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
}

TEST_P(WatermarkStoredColours, EveryPixelKeepsItsColour) {
    const StoredColourCase& c = GetParam();
    testkit::TempDir dir;
    const std::string path = dir.file(c.file);
    testkit::writeFileBytes(path, c.make());
    auto loaded = loadPictureFile(path, *pictureFileTypeForPath(path));
    ASSERT_TRUE(loaded) << loaded.message();
    const bool gif = std::string(c.file).ends_with(".gif");
    const testkit::RgbaPicture picture = translucentPicture();
    if (gif)
        expectPixels(*loaded, 6, 4, gifColour);
    else
        expectPixels(*loaded, 7, 5, [&](int x, int y) { return storedColour(picture, x, y); });
}

INSTANTIATE_TEST_SUITE_P(
    Files, WatermarkStoredColours,
    testing::Values(StoredColourCase{"RgbaPng", "a.png",
                                     [] { return testkit::encodePng(translucentPicture()); }},
                    StoredColourCase{"PalettePng", "p.png",
                                     [] { return testkit::encodePng(translucentPicture(), true); }},
                    StoredColourCase{"GifTransparentIndex", "t.gif",
                                     [] { return testkit::encodeGif(transparentGif()); }}),
    [](const testing::TestParamInfo<StoredColourCase>& param) {
        return std::string(param.param.name);
    });

} // namespace
} // namespace swivio
