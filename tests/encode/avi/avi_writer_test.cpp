#include "encode/avi/avi_writer.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "encode/avi/avi_frame_writer.h"
#include "tests/encode/avi/avi_inspect.h"
#include "tests/support/sound_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using testkit::RiffNode;

constexpr uint32_t kRed = makeColor(255, 0, 0);
constexpr uint32_t kGreen = makeColor(0, 255, 0);
constexpr uint32_t kBlue = makeColor(0, 0, 255);
constexpr uint32_t kWhite = makeColor(255, 255, 255);

// Quadrants red (top left), green (top right), blue (bottom left), white (bottom right),
// with a grey square in the top-left corner whose level tells the frames apart.
Frame testPicture(int width, int height, int index) {
    Frame frame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            frame.setPixel(x, y, bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed));
        }
    const auto grey = uint8_t(40 + 10 * (index % 20));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            frame.setPixel(x, y, makeColor(grey, grey, grey));
    return frame;
}

const RiffNode* headerList(const std::vector<RiffNode>& riffs) {
    return riffs.empty() ? nullptr : riffs.front().find("hdrl");
}

class AviWriterTest : public ::testing::Test {
protected:
    std::string writeAvi(int frames, double rate, uint32_t fourCC, int width = 64,
                         int height = 48) {
        const std::string path = m_dir.file("out.avi");
        AviWriter writer;
        EXPECT_TRUE(writer.open(path, width, height, rate, fourCC)) << writer.errorString();
        for (int i = 0; i < frames; ++i)
            EXPECT_TRUE(writer.writeFrame(testPicture(width, height, i)));
        EXPECT_TRUE(writer.finish()) << writer.errorString();
        return path;
    }
    testkit::TempDir m_dir;
};

TEST_F(AviWriterTest, UncompressedFramesReadBackExactly) {
    const std::string path = writeAvi(7, 12, 0);
    const testkit::ProbedFile probe = testkit::probeFile(path);
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].type, "video");
    EXPECT_EQ(probe.streams[0].codec, "rawvideo");
    EXPECT_EQ(probe.streams[0].width, 64);
    EXPECT_EQ(probe.streams[0].height, 48);
    EXPECT_EQ(probe.streams[0].packets, 7);
    EXPECT_DOUBLE_EQ(probe.streams[0].frameRate, 12.0);

    const std::vector<testkit::DecodedPicture> pictures = testkit::decodeVideo(path);
    ASSERT_EQ(pictures.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        const testkit::DecodedPicture& p = pictures[std::size_t(i)];
        const auto grey = uint8_t(40 + 10 * i);
        EXPECT_EQ(p.colorAt(1, 1), makeColor(grey, grey, grey)) << i;
        EXPECT_EQ(p.colorAt(20, 5), kRed);
        EXPECT_EQ(p.colorAt(60, 5), kGreen);
        EXPECT_EQ(p.colorAt(5, 40), kBlue);
        EXPECT_EQ(p.colorAt(63, 47), kWhite);
    }
}

struct RateCase {
    double frameRate;
    uint32_t rate;
};

class AviRateTest : public AviWriterTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(AviRateTest, WritesTheStreamHeadersAndFormat) {
    const std::string path = writeAvi(3, GetParam().frameRate, 0, 64, 48);
    const std::vector<RiffNode> riffs = testkit::walkRiff(path);
    ASSERT_EQ(riffs.size(), 1u);
    EXPECT_EQ(riffs[0].type, "AVI ");
    const RiffNode* hdrl = headerList(riffs);
    ASSERT_NE(hdrl, nullptr);
    const RiffNode* avih = hdrl->find("avih");
    ASSERT_NE(avih, nullptr);
    EXPECT_EQ(avih->u32(16), 3u); // total frames
    EXPECT_EQ(avih->u32(24), 1u); // streams
    EXPECT_EQ(avih->u32(32), 64u);
    EXPECT_EQ(avih->u32(36), 48u);

    const RiffNode* strl = hdrl->find("strl");
    ASSERT_NE(strl, nullptr);
    const RiffNode* strh = strl->find("strh");
    ASSERT_NE(strh, nullptr);
    EXPECT_EQ(std::string(strh->body.begin(), strh->body.begin() + 4), "vids");
    EXPECT_EQ(strh->u32(4), 0u);    // handler of "Uncompressed"
    EXPECT_EQ(strh->u32(20), 100u); // scale
    EXPECT_EQ(strh->u32(24), GetParam().rate);
    EXPECT_EQ(strh->u32(32), 3u);          // length
    EXPECT_EQ(strh->u32(40), 0xFFFFFFFFu); // quality -1
    EXPECT_EQ(strh->u16(52), 64u);         // frame rectangle right, bottom
    EXPECT_EQ(strh->u16(54), 48u);

    const RiffNode* strf = strl->find("strf");
    ASSERT_NE(strf, nullptr);
    ASSERT_EQ(strf->body.size(), 40u);
    EXPECT_EQ(strf->u32(0), 40u);
    EXPECT_EQ(strf->u32(4), 64u);
    EXPECT_EQ(strf->u32(8), 48u); // positive: bottom row first
    EXPECT_EQ(strf->u16(12), 1u);
    EXPECT_EQ(strf->u16(14), 24u);
    EXPECT_EQ(strf->u32(16), 0u);
    EXPECT_EQ(strf->u32(20), 64u * 48u * 3u);

    const RiffNode* movi = riffs[0].find("movi");
    ASSERT_NE(movi, nullptr);
    ASSERT_EQ(movi->children.size(), 3u);
    for (const RiffNode& chunk : movi->children) {
        EXPECT_EQ(chunk.id, "00db");
        EXPECT_EQ(chunk.size, 64u * 48u * 3u);
    }
    const RiffNode* idx1 = riffs[0].find("idx1");
    ASSERT_NE(idx1, nullptr);
    ASSERT_EQ(idx1->size, 3u * 16u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(idx1->u32(i * 16 + 4), 0x10u); // key frame
        // Offsets count from the "movi" type and point at the chunk header.
        EXPECT_EQ(idx1->u32(i * 16 + 8), movi->children[i].offset - (movi->offset + 8));
        EXPECT_EQ(idx1->u32(i * 16 + 12), 64u * 48u * 3u);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, AviRateTest,
                         ::testing::Values(RateCase{29.97, 2997}, RateCase{12.5, 1250},
                                           RateCase{30, 3000}, RateCase{23.976, 2398}));

TEST_F(AviWriterTest, OpenFailuresGiveTheirTextsAndLeaveNoFile) {
    AviWriter cannotCreate;
    EXPECT_FALSE(cannotCreate.open(m_dir.file("no/such/folder.avi"), 64, 48, 25, 0));
    EXPECT_EQ(cannotCreate.userMessage(), kAviCreateFailed);
    EXPECT_FALSE(cannotCreate.writeFrame(testPicture(64, 48, 0)));

    const std::string path = m_dir.file("nocodec.avi");
    AviWriter unknownCodec;
    EXPECT_FALSE(unknownCodec.open(path, 64, 48, 25, fourCc("QQQQ")));
    EXPECT_EQ(unknownCodec.userMessage(), ""); // this failure has no message of its own
    EXPECT_FALSE(unknownCodec.errorString().empty());
    EXPECT_FALSE(std::filesystem::exists(path));

    for (double rate : {0.0, -5.0, 0.001}) {
        AviWriter noRate;
        EXPECT_FALSE(noRate.open(m_dir.file("rate.avi"), 64, 48, rate, 0)) << rate;
        EXPECT_FALSE(noRate.errorString().empty());
    }

    AviWriter notOpen;
    EXPECT_FALSE(notOpen.addAudio(m_dir.file("a.wav"), true, true, 0));
}

TEST_F(AviWriterTest, RefusesFramesOfAnotherSize) {
    AviWriter writer;
    ASSERT_TRUE(writer.open(m_dir.file("size.avi"), 64, 48, 25, 0));
    EXPECT_FALSE(writer.writeFrame(testPicture(32, 48, 0)));
    EXPECT_FALSE(writer.errorString().empty());
}

TEST_F(AviWriterTest, EmptyOutputIsStillAValidFile) {
    const std::string path = writeAvi(0, 25, 0);
    const testkit::ProbedFile probe = testkit::probeFile(path);
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].packets, 0);
}

TEST_F(AviWriterTest, FrameWriterAdapterWritesVideoAndReportsSoundTrouble) {
    const std::string path = m_dir.file("adapter.avi");
    testkit::writeBytes(path, {1, 2, 3}); // an old output is replaced
    AviSoundOptions sound;
    sound.path = m_dir.file("missing.mp3");
    sound.mode = AviSoundMode::Mp3Copy;
    auto opened = openAviOutput(path, 64, 48, 10, 0, sound);
    ASSERT_TRUE(opened) << opened.message();
    EXPECT_EQ(opened.warnings(), std::vector<std::string>{"Failed to open the mp3 file!"});
    FrameWriter* writer = opened->get();
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(writer->writeFrame(testPicture(64, 48, i), i));
    EXPECT_TRUE(writer->finish());
    EXPECT_EQ(writer->errorString(), "");
    const testkit::ProbedFile probe = testkit::probeFile(path);
    ASSERT_TRUE(probe.opened);
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].packets, 4);

    auto refused = openAviOutput(m_dir.file("x/y.avi"), 64, 48, 10, 0, {});
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.message().rfind(kAviCreateFailed, 0), 0u) << refused.message();
    EXPECT_NE(refused.message().find("x/y.avi"), std::string::npos) << refused.message();
}

} // namespace
} // namespace swivio
