#include "encode/avi/video_compressor_list.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "encode/avi/avi_writer.h"
#include "encode/avi/riff_avi_file.h"
#include "tests/encode/avi/avi_inspect.h"
#include "tests/support/temp_dir.h"

namespace swivio {

// Test names and failures show the compressor by its name.
void PrintTo(const VideoCompressorInfo& info, std::ostream* out) {
    *out << info.name;
}

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
    // MJPEG follows the quality setting; the uncompressed format has nothing to set.
    EXPECT_TRUE(videoCompressorHasConfiguration(fourCc("MJPG")));
    EXPECT_FALSE(videoCompressorHasConfiguration(0));
}

class EveryCompressorTest : public ::testing::TestWithParam<VideoCompressorInfo> {};

// The size every compressor is tried at: the smallest odd multiple of its rule above 64 on
// each side (65 x 65 for a compressor that takes any size).
int sideFor(int multiple) {
    return 64 + multiple;
}

constexpr uint32_t kQuarterColors[4] = {makeColor(200, 30, 30), makeColor(30, 200, 30),
                                        makeColor(30, 30, 200), makeColor(220, 220, 220)};

Frame quartersFrame(int width, int height) {
    Frame frame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame.setPixel(x, y, kQuarterColors[(y >= height / 2) * 2 + (x >= width / 2)]);
    return frame;
}

// Writes `frames` copies of `frame` into `path` with a compressor at a quality; the
// writer's error when it fails.
std::string writeAvi(const std::string& path, const Frame& frame, int frames, uint32_t fourCC,
                     int quality = 0) {
    AviWriter writer;
    if (!writer.open(path, frame.width(), frame.height(), 25, fourCC, quality))
        return "open: " + writer.errorString();
    for (int i = 0; i < frames; ++i)
        if (!writer.writeFrame(frame))
            return "frame: " + writer.errorString();
    return writer.finish() ? std::string() : "finish: " + writer.errorString();
}

// Every compressor the list offers writes a file, at a size its rule allows but no larger
// rule would, that libavformat reads back with the right codec, size and frame count, and
// whose pictures show the colours that went in.
TEST_P(EveryCompressorTest, WritesAPlayableFile) {
    const VideoCompressorInfo& info = GetParam();
    const int width = sideFor(info.widthMultiple), height = sideFor(info.heightMultiple);
    testkit::TempDir dir;
    const std::string path = dir.file("c.avi");
    ASSERT_EQ(writeAvi(path, quartersFrame(width, height), 3, info.fourCC), "");

    const testkit::ProbedFile probe = testkit::probeFile(path);
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].width, width);
    EXPECT_EQ(probe.streams[0].height, height);
    EXPECT_EQ(probe.streams[0].packets, 3);
    if (info.fourCC != 0) {
        EXPECT_EQ(probe.streams[0].codecTag, info.fourCC);
    }

    const std::vector<testkit::DecodedPicture> pictures = testkit::decodeVideo(path);
    ASSERT_EQ(pictures.size(), 3u);
    for (int q = 0; q < 4; ++q) {
        const int x = (q % 2) * width / 2 + width / 4, y = (q / 2) * height / 2 + height / 4;
        const uint32_t got = pictures[2].colorAt(x, y), want = kQuarterColors[q];
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int((got >> shift) & 0xFF), int((want >> shift) & 0xFF), 24)
                << "quadrant " << q << " channel " << shift / 8 << " got " << std::hex << got;
    }
}

// What the list shows is what the lookup takes: the FourCC as printed and the short name,
// in any case.
TEST_P(EveryCompressorTest, IsFoundByTheNamesTheListShows) {
    const VideoCompressorInfo& info = GetParam();
    const auto lower = [](std::string text) {
        for (char& ch : text)
            ch = char(std::tolower(static_cast<unsigned char>(ch)));
        return text;
    };
    for (const std::string& name :
         {videoCompressorKey(info), lower(videoCompressorKey(info)), info.name, lower(info.name)}) {
        const VideoCompressorInfo* found = findVideoCompressorByName(name);
        ASSERT_NE(found, nullptr) << "'" << name << "'";
        EXPECT_EQ(found->fourCC, info.fourCC) << "'" << name << "'";
    }
}

// A size that breaks a compressor's rule is refused when the file is opened, with the rule
// in the message, and no file is left; a compressor without a rule takes an odd size.
TEST_P(EveryCompressorTest, RefusesASizeOutsideItsRule) {
    const VideoCompressorInfo& info = GetParam();
    struct Side {
        const char* name;
        int multiple;
        bool width;
    };
    for (const Side side :
         {Side{"width", info.widthMultiple, true}, Side{"height", info.heightMultiple, false}}) {
        const int good = sideFor(side.multiple), bad = good + side.multiple / 2;
        const int width = side.width ? bad : sideFor(info.widthMultiple);
        const int height = side.width ? sideFor(info.heightMultiple) : bad;
        const Status checked = checkVideoCompressorSize(info.fourCC, width, height);
        if (side.multiple == 1) {
            EXPECT_TRUE(checked) << checked.message();
            continue;
        }
        ASSERT_FALSE(checked) << side.name;
        const std::string rule =
            std::string(side.name) + " that is a multiple of " + std::to_string(side.multiple);
        EXPECT_NE(checked.message().find(rule), std::string::npos) << checked.message();
        EXPECT_NE(checked.message().find(info.name), std::string::npos) << checked.message();

        testkit::TempDir dir;
        const std::string path = dir.file("bad.avi");
        const std::string error = writeAvi(path, quartersFrame(width, height), 1, info.fourCC);
        EXPECT_NE(error.find(rule), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

INSTANTIATE_TEST_SUITE_P(Installed, EveryCompressorTest, ::testing::ValuesIn(videoCompressors()),
                         [](const auto& p) {
                             std::string name;
                             for (char ch : p.param.name)
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

// A picture with detail everywhere, so that a coarser quantiser or rate factor shows in the
// size.
Frame detailedFrame(int width, int height) {
    Frame frame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame.setPixel(x, y,
                           makeColor(uint8_t(x * 7 + y * 13), uint8_t((x * x + y * 3) & 0xFF),
                                     uint8_t(((x ^ y) * 5) & 0xFF)));
    return frame;
}

// Sizes of the files written at qualities 10, 50 and 90 (the same detailed frames each
// time), each checked to decode in full.
std::vector<std::uintmax_t> sizesAtQualities(const VideoCompressorInfo& info) {
    testkit::TempDir dir;
    const Frame frame =
        detailedFrame(sideFor(info.widthMultiple) + 32, sideFor(info.heightMultiple));
    std::vector<std::uintmax_t> sizes;
    for (int quality : {10, 50, 90}) {
        const std::string path = dir.file(std::to_string(quality) + ".avi");
        const std::string error = writeAvi(path, frame, 3, info.fourCC, quality);
        EXPECT_EQ(error, "") << "quality " << quality;
        EXPECT_EQ(testkit::decodeVideo(path).size(), 3u) << "quality " << quality;
        sizes.push_back(error.empty() ? std::filesystem::file_size(path) : 0);
    }
    return sizes;
}

// Every compressor that offers a quality writes playable files at any of them, and the
// quality makes a difference.
class EveryQualityTest : public ::testing::TestWithParam<VideoCompressorInfo> {};

TEST_P(EveryQualityTest, WritesPlayableFilesThatDifferBySize) {
    const std::vector<std::uintmax_t> sizes = sizesAtQualities(GetParam());
    EXPECT_NE(sizes.front(), sizes.back());
}

std::vector<VideoCompressorInfo> compressorsWithQuality() {
    std::vector<VideoCompressorInfo> with;
    for (const VideoCompressorInfo& info : videoCompressors())
        if (info.hasQuality)
            with.push_back(info);
    return with;
}

INSTANTIATE_TEST_SUITE_P(Installed, EveryQualityTest, ::testing::ValuesIn(compressorsWithQuality()),
                         [](const auto& p) {
                             std::string name;
                             for (char ch : p.param.name)
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

// For the compressors users pick most, a higher quality gives a bigger file.
class QualityTest : public ::testing::TestWithParam<const char*> {};

TEST_P(QualityTest, HigherQualityGivesABiggerFile) {
    const VideoCompressorInfo* info = findVideoCompressorByName(GetParam());
    if (!info)
        GTEST_SKIP() << GetParam() << " is not installed";
    ASSERT_TRUE(info->hasQuality);
    const std::vector<std::uintmax_t> sizes = sizesAtQualities(*info);
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[1], sizes[2]);
}

INSTANTIATE_TEST_SUITE_P(Compressors, QualityTest, ::testing::Values("MJPG", "H264"));

} // namespace
} // namespace swivio
