#include "encode/avi/video_compressor_list.h"

#include <cstdlib>
#include <set>

#include <gtest/gtest.h>

#include "encode/avi/avi_writer.h"
#include "encode/avi/riff_avi_file.h"
#include "tests/encode/avi/avi_inspect.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

TEST(VideoCompressorListTest, ListsUncompressedFirstThenEachFourCcOnce) {
    const std::vector<VideoCompressorInfo>& list = videoCompressors();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].name, "Uncompressed");
    EXPECT_EQ(list[0].fourCC, 0u);
    std::set<uint32_t> seen;
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_TRUE(seen.insert(list[i].fourCC).second) << list[i].name;
        EXPECT_NE(fourCcText(list[i].fourCC), "iv50");
        if (i > 1) {
            EXPECT_LT(list[i - 1].name, list[i].name);
        }
    }
    // The same list every time, without probing again.
    EXPECT_EQ(&videoCompressors(), &list);

    // FFmpeg always has these two.
    EXPECT_EQ(videoCompressorName(fourCc("MJPG")), "mjpeg");
    EXPECT_EQ(videoCompressorName(fourCc("FMP4")), "mpeg4");
    EXPECT_EQ(videoCompressorName(fourCc("QQQQ")), "");
    EXPECT_EQ(videoCompressorName(0), "Uncompressed");

    EXPECT_TRUE(videoCompressorHasAbout(fourCc("MJPG")));
    EXPECT_NE(videoCompressorAbout(fourCc("MJPG")).find("MJPG"), std::string::npos);
    EXPECT_FALSE(videoCompressorHasAbout(0));
    EXPECT_FALSE(videoCompressorHasConfiguration(fourCc("MJPG")));
}

class EveryCompressorTest : public ::testing::TestWithParam<VideoCompressorInfo> {};

constexpr int kWidth = 320;
constexpr int kHeight = 160;

// Every compressor the list offers writes a file that libavformat reads back with the right
// codec, size and frame count, and whose pictures show the colours that went in.
TEST_P(EveryCompressorTest, WritesAPlayableFile) {
    const VideoCompressorInfo& info = GetParam();
    testkit::TempDir dir;
    const std::string path = dir.file("c.avi");
    AviWriter writer;
    ASSERT_TRUE(writer.open(path, kWidth, kHeight, 25, info.fourCC)) << writer.errorString();
    constexpr uint32_t kColors[4] = {makeColor(200, 30, 30), makeColor(30, 200, 30),
                                     makeColor(30, 30, 200), makeColor(220, 220, 220)};
    Frame frame(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            frame.setPixel(x, y, kColors[(y >= kHeight / 2) * 2 + (x >= kWidth / 2)]);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(writer.writeFrame(frame)) << writer.errorString();
    ASSERT_TRUE(writer.finish()) << writer.errorString();

    const testkit::ProbedFile probe = testkit::probeFile(path);
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].width, kWidth);
    EXPECT_EQ(probe.streams[0].height, kHeight);
    EXPECT_EQ(probe.streams[0].packets, 5);
    if (info.fourCC != 0) {
        EXPECT_EQ(probe.streams[0].codecTag, info.fourCC);
    }

    const std::vector<testkit::DecodedPicture> pictures = testkit::decodeVideo(path);
    ASSERT_EQ(pictures.size(), 5u);
    for (int q = 0; q < 4; ++q) {
        const int x = (q % 2) * kWidth / 2 + kWidth / 4, y = (q / 2) * kHeight / 2 + kHeight / 4;
        const uint32_t got = pictures[4].colorAt(x, y), want = kColors[q];
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int((got >> shift) & 0xFF), int((want >> shift) & 0xFF), 24)
                << "quadrant " << q << " channel " << shift / 8;
    }
}

INSTANTIATE_TEST_SUITE_P(Installed, EveryCompressorTest, ::testing::ValuesIn(videoCompressors()),
                         [](const auto& p) {
                             std::string name;
                             for (char ch : p.param.name)
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

} // namespace
} // namespace swivio
