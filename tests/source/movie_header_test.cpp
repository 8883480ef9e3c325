#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "source/movie_header.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using testkit::Compression;
using testkit::SwfWriter;

// A movie with some tags, so that compressed bodies have content past the header.
SwfWriter sampleMovie(Compression compression) {
    SwfWriter w;
    w.compression = compression;
    w.version = 8;
    w.frameCount = 30;
    w.backgroundColor(10, 20, 30);
    for (int i = 0; i < 50; ++i)
        w.tag(testkit::TagCode::DoAction, std::vector<uint8_t>(200, uint8_t(i)));
    w.showFrame().end();
    return w;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out.flush());
}

// Reads the bytes both from a file and from memory; the two must agree.
MovieHeader readBoth(const std::vector<uint8_t>& bytes) {
    testkit::TempDir dir;
    const std::string path = dir.file("movie.swf");
    EXPECT_TRUE(writeFile(path, bytes));
    MovieHeader fromFile;
    const bool fileOk = fromFile.read(path);
    MovieHeader fromMemory;
    const bool memoryOk = fromMemory.read(bytes.data(), bytes.size());
    EXPECT_EQ(fileOk, fromFile.valid);
    EXPECT_EQ(fileOk, memoryOk);
    EXPECT_EQ(fromFile.width, fromMemory.width);
    EXPECT_EQ(fromFile.height, fromMemory.height);
    EXPECT_EQ(fromFile.frameCount, fromMemory.frameCount);
    return fromFile;
}

class MovieHeaderKinds : public testing::TestWithParam<Compression> {};

TEST_P(MovieHeaderKinds, ReadsSizeRateAndCount) {
    SwfWriter w = sampleMovie(GetParam());
    w.frameRate88 = 0x1D80;
    const MovieHeader h = readBoth(w.build());
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.width, 550);
    EXPECT_EQ(h.height, 400);
    EXPECT_EQ(h.frameRate, 29.5f);
    EXPECT_EQ(h.frameCount, 30);
    EXPECT_EQ(h.version, 8);
    EXPECT_EQ(h.signature, GetParam() == Compression::None   ? "FWS"
                           : GetParam() == Compression::Zlib ? "CWS"
                                                             : "ZWS");
    EXPECT_EQ(h.declaredLength, w.body().size() + 8);
}

TEST_P(MovieHeaderKinds, DeclaredLengthOf21IsTheLeastAccepted) {
    SwfWriter w = sampleMovie(GetParam());
    w.declaredLengthOverride = 21;
    EXPECT_TRUE(readBoth(w.build()).valid);
    w.declaredLengthOverride = 20;
    EXPECT_FALSE(readBoth(w.build()).valid);
    w.declaredLengthOverride = 0;
    EXPECT_FALSE(readBoth(w.build()).valid);
}

TEST_P(MovieHeaderKinds, HugeDeclaredLengthOfSmallFileIsReadWithoutHugeBuffer) {
    // 4 GiB declared by a file of a few kilobytes: the fields come from the body as written.
    SwfWriter w = sampleMovie(GetParam());
    w.declaredLengthOverride = 0xFFFFFFFF;
    const MovieHeader h = readBoth(w.build());
    EXPECT_TRUE(h.valid);
    EXPECT_EQ(h.width, 550);
    EXPECT_EQ(h.frameCount, 30);
}

TEST_P(MovieHeaderKinds, TruncatedBodyIsAcceptedAndReadsAsZeros) {
    // Cut inside the body but after the header fields: still valid, fields intact.
    SwfWriter w = sampleMovie(GetParam());
    std::vector<uint8_t> bytes = w.build();
    bytes.resize(bytes.size() * 2 / 3);
    MovieHeader h = readBoth(bytes);
    EXPECT_TRUE(h.valid);
    EXPECT_EQ(h.width, 550);
    EXPECT_EQ(h.frameCount, 30);
}

INSTANTIATE_TEST_SUITE_P(Compressions, MovieHeaderKinds,
                         testing::Values(Compression::None, Compression::Zlib, Compression::Lzma));

TEST(MovieHeaderTest, UncompressedFileShorterThanDeclaredReadsZeros) {
    // The body stops inside the RECT: the rest of the RECT, the rate and the count are zero.
    SwfWriter w;
    w.xMax = 11000;
    w.yMax = 8000;
    std::vector<uint8_t> bytes = w.build();
    bytes.resize(8 + 3);
    const MovieHeader h = readBoth(bytes);
    ASSERT_TRUE(h.valid);
    EXPECT_EQ(h.frameRate, 0.0f);
    EXPECT_EQ(h.frameCount, 0);
    EXPECT_EQ(h.height, 0);

    // Nothing at all after the header.
    bytes.resize(8);
    const MovieHeader empty = readBoth(bytes);
    EXPECT_TRUE(empty.valid);
    EXPECT_EQ(empty.width, 0);
}

TEST(MovieHeaderTest, BadSignaturesAndShortFilesAreInvalid) {
    const std::vector<uint8_t> good = sampleMovie(Compression::None).build();
    for (const char* signature : {"fws", "cws", "zws", "FWs", "GWS", "FSW", "\0WS"}) {
        std::vector<uint8_t> bytes = good;
        std::copy(signature, signature + 3, bytes.begin());
        EXPECT_FALSE(readBoth(bytes).valid) << signature;
    }
    for (std::size_t size : {0, 1, 3, 7}) {
        const std::vector<uint8_t> bytes(good.begin(), good.begin() + long(size));
        EXPECT_FALSE(readBoth(bytes).valid) << size;
    }
    MovieHeader missing;
    EXPECT_FALSE(missing.read("/nonexistent/folder/movie.swf"));
    testkit::TempDir dir;
    EXPECT_FALSE(missing.read(dir.path().string())); // a folder, not a file
    const std::string pipe = dir.file("pipe.swf");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(missing.read(pipe)); // returns at once instead of waiting for a writer
}

TEST(MovieHeaderTest, DamagedCompressedBodiesAreInvalid) {
    // Zlib: a bad stream header, and damage far past the header fields (found only by
    // inflating the whole body).
    std::vector<uint8_t> cws = sampleMovie(Compression::Zlib).build();
    std::vector<uint8_t> badStart = cws;
    badStart[8] = 0x00;
    EXPECT_FALSE(readBoth(badStart).valid);
    std::vector<uint8_t> badChecksum = cws;
    badChecksum.back() ^= 0xFF;
    EXPECT_FALSE(readBoth(badChecksum).valid);

    // LZMA: properties outside their range.
    std::vector<uint8_t> zws = sampleMovie(Compression::Lzma).build();
    std::vector<uint8_t> badProperties = zws;
    badProperties[12] = 0xFF;
    EXPECT_FALSE(readBoth(badProperties).valid);
}

TEST(MovieHeaderTest, ZlibDataAfterTheStreamIsIgnored) {
    std::vector<uint8_t> cws = sampleMovie(Compression::Zlib).build();
    cws.insert(cws.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    EXPECT_TRUE(readBoth(cws).valid);
}

struct RectCase {
    int32_t xMin, xMax, yMin, yMax;
    int32_t width, height;
};

class MovieHeaderRects : public testing::TestWithParam<RectCase> {};

TEST_P(MovieHeaderRects, SizeIsTheTruncatedSpanInPixels) {
    const RectCase c = GetParam();
    for (Compression compression : {Compression::None, Compression::Zlib}) {
        SwfWriter w;
        w.compression = compression;
        w.xMin = c.xMin;
        w.xMax = c.xMax;
        w.yMin = c.yMin;
        w.yMax = c.yMax;
        w.frameRate88 = 0x0C00;
        // A small RECT leaves the movie below the least length; tags make it up.
        w.backgroundColor(0, 0, 0).showFrame().end();
        const MovieHeader h = readBoth(w.build());
        ASSERT_TRUE(h.valid);
        EXPECT_EQ(h.width, c.width);
        EXPECT_EQ(h.height, c.height);
        EXPECT_EQ(h.frameRate, 12.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rects, MovieHeaderRects,
    testing::Values(RectCase{0, 11000, 0, 8000, 550, 400}, RectCase{11000, 0, 8000, 0, 550, 400},
                    RectCase{0, 9999, 0, 9999, 499, 499}, RectCase{-200, 200, -40, 0, 20, 2},
                    RectCase{0, 0, 0, 0, 0, 0}, RectCase{0, 19, 0, 1, 0, 0},
                    // The widest field: 31-bit values at both ends of their range.
                    RectCase{-(1 << 30), (1 << 30) - 1, 0, 20, int32_t(((1ll << 31) - 1) / 20),
                             1}));

TEST(MovieHeaderTest, FrameRateIsEightDotEightFixedPoint) {
    for (auto [raw, rate] : {std::pair<uint16_t, float>{0x0C00, 12.0f},
                             {0x1D80, 29.5f},
                             {0x0001, 1.0f / 256},
                             {0xFFFF, 65535.0f / 256},
                             {0x0000, 0.0f}}) {
        SwfWriter w;
        w.frameRate88 = raw;
        w.frameCount = 0xFFFF;
        const MovieHeader h = readBoth(w.build());
        EXPECT_EQ(h.frameRate, rate) << raw;
        EXPECT_EQ(h.frameCount, 65535);
    }
}

TEST(MovieHeaderTest, RereadingClearsPreviousResult) {
    MovieHeader h;
    const std::vector<uint8_t> good = sampleMovie(Compression::None).build();
    ASSERT_TRUE(h.read(good.data(), good.size()));
    std::vector<uint8_t> bad = good;
    bad[0] = 'X';
    EXPECT_FALSE(h.read(bad.data(), bad.size()));
    EXPECT_FALSE(h.valid);
    EXPECT_EQ(h.width, 0);
}

} // namespace
} // namespace swivio
