#include "encode/avi/video_compressor_cache.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

const std::string kKey = "test key 1";

// Accepts every entry but one named "rejected", as the list rejects an encoder it lacks.
bool acceptAllButRejected(VideoCompressorInfo& info) {
    info.hasQuality = true;
    return info.name != "rejected";
}

TEST(VideoCompressorCacheTest, WrittenListReadsBackThroughAFile) {
    std::vector<VideoCompressorInfo> list = {VideoCompressorInfo{"Uncompressed", 0, {}},
                                             VideoCompressorInfo{"mjpeg", 0x47504a4d, "mjpeg"},
                                             VideoCompressorInfo{"cfhd", 0x44484643, "cfhd"}};
    list[2].widthMultiple = 16;
    list[2].heightMultiple = 2;
    testkit::TempDir dir;
    const std::string path = dir.file("deeper/cache.txt");
    ASSERT_TRUE(writeVideoCompressorCache(path, videoCompressorCacheText(list, kKey)));
    const std::optional<std::string> text = readVideoCompressorCache(path);
    ASSERT_TRUE(text);
    const auto read = parseVideoCompressorCache(*text, kKey, acceptAllButRejected);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 2u); // "Uncompressed" is not kept
    for (std::size_t i = 0; i < 2; ++i) {
        const VideoCompressorInfo &got = (*read)[i], &want = list[i + 1];
        EXPECT_EQ(got.name, want.name);
        EXPECT_EQ(got.encoderName, want.encoderName);
        EXPECT_EQ(got.fourCC, want.fourCC);
        EXPECT_EQ(got.widthMultiple, want.widthMultiple);
        EXPECT_EQ(got.heightMultiple, want.heightMultiple);
        EXPECT_TRUE(got.hasQuality); // filled in by `accept`
    }
    // Another libavcodec means another key: the file is not used.
    EXPECT_FALSE(parseVideoCompressorCache(*text, "test key 2", acceptAllButRejected));
    // A file that cannot be written (its folder is a file) is no failure of anything else.
    EXPECT_FALSE(writeVideoCompressorCache(dir.file("deeper/cache.txt/x"), "text"));
}

// Whatever a damaged or foreign cache file holds, it is refused as a whole (and the list is
// probed again), never half used.
TEST(VideoCompressorCacheTest, DamagedTextIsRefused) {
    const std::string head = kKey + "\n";
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"key only", head},
        {"other key", "test key\nmjpeg 47504a4d 1 1\n"},
        {"missing field", head + "mjpeg 47504a4d 1\n"},
        {"extra field", head + "mjpeg 47504a4d 1 1 9\n"},
        {"zero multiple", head + "mjpeg 47504a4d 0 1\n"},
        {"negative multiple", head + "mjpeg 47504a4d -16 1\n"},
        {"huge multiple", head + "mjpeg 47504a4d 999999999 1\n"},
        {"FourCC not hexadecimal", head + "mjpeg MJPG 1 1\n"},
        {"FourCC zero", head + "mjpeg 00000000 1 1\n"},
        {"FourCC twice", head + "mjpeg 47504a4d 1 1\nmpeg4 47504a4d 1 1\n"},
        {"name twice", head + "mjpeg 47504a4d 1 1\nmjpeg 34504d46 1 1\n"},
        {"rejected entry", head + "mjpeg 47504a4d 1 1\nrejected 34504d46 1 1\n"},
        {"binary", head + std::string("\x01\xff\x00\x7f mjpeg", 10)},
    };
    for (const auto& [name, text] : cases)
        EXPECT_FALSE(parseVideoCompressorCache(text, kKey, acceptAllButRejected)) << name;
}

} // namespace
} // namespace swivio
