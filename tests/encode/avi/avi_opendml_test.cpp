#include <gtest/gtest.h>

#include "encode/avi/avi_writer.h"
#include "tests/encode/avi/avi_inspect.h"
#include "tests/support/sound_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using testkit::RiffNode;

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kFrames = 60;
constexpr uint32_t kFrameBytes = kWidth * kHeight * 3;
constexpr uint32_t kSoundBytes = 4410; // 22050 Hz mono 16-bit at 10 fps
constexpr uint64_t kRiffLimit = 64 * 1024;

Frame numberedFrame(int index) {
    Frame frame(kWidth, kHeight);
    const auto level = uint8_t(index * 4);
    frame.fill(makeColor(level, uint8_t(255 - level), 0x40));
    return frame;
}

class OpenDmlTest : public ::testing::Test {
protected:
    void SetUp() override {
        testkit::WavSpec wavLayout;
        wavLayout.sampleRate = 22050;
        wavLayout.channels = 1;
        const std::string wav = m_dir.file("in.wav");
        testkit::writeBytes(wav,
                            testkit::makeWav(wavLayout, testkit::sinePcm16(22050, 1, 22050 * 7)));
        m_path = m_dir.file("long.avi");
        AviWriter writer;
        writer.setRiffLimit(kRiffLimit);
        ASSERT_TRUE(writer.open(m_path, kWidth, kHeight, 10, 0));
        ASSERT_TRUE(writer.addAudio(wav, true, true, 0));
        for (int i = 0; i < kFrames; ++i)
            ASSERT_TRUE(writer.writeFrame(numberedFrame(i)));
        ASSERT_TRUE(writer.finish()) << writer.errorString();
        m_riffs = testkit::walkRiff(m_path);
    }
    testkit::TempDir m_dir;
    std::string m_path;
    std::vector<RiffNode> m_riffs;
};

TEST_F(OpenDmlTest, PlayersSeeEveryFrameAndAllTheSound) {
    const testkit::ProbedFile probe = testkit::probeFile(m_path);
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.streams.size(), 2u);
    EXPECT_EQ(probe.streams[0].packets, kFrames);
    EXPECT_EQ(probe.streams[1].packetBytes, int64_t(kFrames) * kSoundBytes);

    const std::vector<testkit::DecodedPicture> pictures = testkit::decodeVideo(m_path);
    ASSERT_EQ(pictures.size(), std::size_t(kFrames));
    for (int i = 0; i < kFrames; ++i) {
        const auto level = uint8_t(i * 4);
        EXPECT_EQ(pictures[std::size_t(i)].colorAt(10, 10),
                  makeColor(level, uint8_t(255 - level), 0x40))
            << i;
    }
}

TEST_F(OpenDmlTest, SplitsIntoRiffListsWithTheirIndexes) {
    ASSERT_GT(m_riffs.size(), 5u);
    EXPECT_EQ(m_riffs[0].type, "AVI ");
    EXPECT_NE(m_riffs[0].find("idx1"), nullptr);
    int framesInFirst = 0;
    int allFrames = 0;
    for (std::size_t r = 0; r < m_riffs.size(); ++r) {
        const RiffNode& riff = m_riffs[r];
        if (r > 0) {
            EXPECT_EQ(riff.type, "AVIX");
            EXPECT_EQ(riff.find("idx1"), nullptr);
        }
        // A list is closed at the first frame past the limit: never much beyond it.
        EXPECT_LE(riff.size, kRiffLimit + kFrameBytes + kSoundBytes + 1024) << r;
        const RiffNode* movi = riff.find("movi");
        ASSERT_NE(movi, nullptr);
        const RiffNode* ix00 = movi->find("ix00");
        const RiffNode* ix01 = movi->find("ix01");
        ASSERT_NE(ix00, nullptr) << r;
        ASSERT_NE(ix01, nullptr) << r;
        const int frames = int(movi->all("00db").size());
        EXPECT_EQ(ix00->u32(4), uint32_t(frames)); // entries in use
        EXPECT_EQ(ix00->u16(0), 2u);               // longs per entry
        EXPECT_EQ(ix00->body[3], 1);               // index of chunks
        EXPECT_EQ(ix01->u32(4), movi->all("01wb").size());
        if (r == 0)
            framesInFirst = frames;
        allFrames += frames;
    }
    EXPECT_EQ(allFrames, kFrames);

    const RiffNode* hdrl = m_riffs[0].find("hdrl");
    ASSERT_NE(hdrl, nullptr);
    EXPECT_EQ(hdrl->find("avih")->u32(16), uint32_t(framesInFirst));
    const RiffNode* odml = hdrl->find("odml");
    ASSERT_NE(odml, nullptr);
    EXPECT_EQ(odml->find("dmlh")->u32(0), uint32_t(kFrames));

    const std::vector<const RiffNode*> strls = hdrl->all("strl");
    ASSERT_EQ(strls.size(), 2u);
    EXPECT_EQ(strls[0]->find("strh")->u32(32), uint32_t(kFrames));
    for (const RiffNode* strl : strls) {
        const RiffNode* indx = strl->find("indx");
        ASSERT_NE(indx, nullptr);
        EXPECT_EQ(indx->u16(0), 4u);
        EXPECT_EQ(indx->body[3], 0); // index of indexes
        EXPECT_EQ(indx->u32(4), uint32_t(m_riffs.size()));
    }
    // Each super index entry points at a standard index chunk of its stream.
    const RiffNode* videoIndx = strls[0]->find("indx");
    uint32_t duration = 0;
    for (uint32_t i = 0; i < videoIndx->u32(4); ++i) {
        const std::size_t at = 24 + 16 * std::size_t(i);
        const uint64_t offset = uint64_t(videoIndx->u32(at)) | uint64_t(videoIndx->u32(at + 4))
                                                                   << 32;
        const RiffNode* target = m_riffs[i].find("movi")->find("ix00");
        ASSERT_NE(target, nullptr);
        EXPECT_EQ(offset, target->offset);
        EXPECT_EQ(videoIndx->u32(at + 8), target->size + 8);
        duration += videoIndx->u32(at + 12);
    }
    EXPECT_EQ(duration, uint32_t(kFrames));
}

TEST(OpenDmlSmallTest, FilesBelowTheLimitStayPlainAvi) {
    testkit::TempDir dir;
    const std::string path = dir.file("short.avi");
    AviWriter writer;
    writer.setRiffLimit(kRiffLimit);
    ASSERT_TRUE(writer.open(path, kWidth, kHeight, 10, 0));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(writer.writeFrame(numberedFrame(i)));
    ASSERT_TRUE(writer.finish());
    const std::vector<RiffNode> riffs = testkit::walkRiff(path);
    ASSERT_EQ(riffs.size(), 1u);
    const RiffNode* hdrl = riffs[0].find("hdrl");
    EXPECT_EQ(hdrl->find("odml"), nullptr);
    EXPECT_EQ(hdrl->find("strl")->find("indx"), nullptr);
    EXPECT_EQ(riffs[0].find("movi")->find("ix00"), nullptr);
}

} // namespace
} // namespace swivio
