#include "encode/audio/mp3_file_reader.h"

#include <gtest/gtest.h>

#include "tests/support/sound_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

struct HeaderCase {
    const char* name;
    uint32_t header;
    Mp3FileInfo expected;
};

class Mp3HeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Mp3HeaderTest, DecodesTheFirstFrameHeader) {
    const Mp3FileInfo got = parseMp3FrameHeader(GetParam().header);
    const Mp3FileInfo& want = GetParam().expected;
    EXPECT_EQ(got.sampleRate, want.sampleRate);
    EXPECT_EQ(got.bitRate, want.bitRate);
    EXPECT_EQ(got.versionBits, want.versionBits);
    EXPECT_EQ(got.layerBits, want.layerBits);
    EXPECT_EQ(got.channels, want.channels);
    EXPECT_EQ(got.frameLength, want.frameLength);
}

// Fields: {sampleRate, bitRate, versionBits, layerBits, channels, frameLength}.
INSTANTIATE_TEST_SUITE_P(
    Headers, Mp3HeaderTest,
    ::testing::Values(
        // MPEG-1 Layer III, 128 kbit/s (index 9), 44100 Hz, joint stereo (mode 1).
        HeaderCase{"Mpeg1Layer3JointStereo", 0xFFFB9040, {44100, 128, 3, 1, 2, 417}},
        HeaderCase{"Mpeg1Layer3Padded", 0xFFFB9240, {44100, 128, 3, 1, 2, 418}},
        // MPEG-2 Layer III, 64 kbit/s (index 8), 22050 Hz, single channel.
        HeaderCase{"Mpeg2Layer3Mono", 0xFFF380C0, {22050, 64, 2, 1, 1, 208}},
        // MPEG-2.5 Layer III, 8 kbit/s (index 1), 8000 Hz (index 2), stereo.
        HeaderCase{"Mpeg25Layer3", 0xFFE31800, {8000, 8, 0, 1, 2, 72}},
        // MPEG-1 Layer II 384 kbit/s (index 14), 48000 Hz, dual channel.
        HeaderCase{"Mpeg1Layer2", 0xFFFDE480, {48000, 384, 3, 2, 2, 1152}},
        // MPEG-1 Layer I 448 kbit/s, 32000 Hz.
        HeaderCase{"Mpeg1Layer1", 0xFFFFE800, {32000, 448, 3, 3, 2, 2016}},
        // MPEG-2 Layer I 256 kbit/s: the lower sampling frequency table.
        HeaderCase{"Mpeg2Layer1", 0xFFF7E000, {22050, 256, 2, 3, 2, 835}},
        // Free format: bit-rate index 0.
        HeaderCase{"FreeFormat", 0xFFFB0040, {44100, 0, 3, 1, 2, 0}},
        // Sample-rate index 3 is reserved: 22050 stands in.
        HeaderCase{"ReservedSampleRate", 0xFFFB9C40, {22050, 128, 3, 1, 2, 835}},
        // Reserved version and layer leave the bit rate at 0.
        HeaderCase{"ReservedVersion", 0xFFEB9040, {22050, 0, 1, 1, 2, 0}},
        HeaderCase{"ReservedLayer", 0xFFF99040, {44100, 0, 3, 0, 2, 0}}),
    [](const auto& p) { return std::string(p.param.name); });

std::vector<uint8_t> frameBytes(uint32_t header, std::size_t length) {
    std::vector<uint8_t> f(length, 0x55);
    f[0] = uint8_t(header >> 24), f[1] = uint8_t(header >> 16), f[2] = uint8_t(header >> 8),
    f[3] = uint8_t(header);
    return f;
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Mp3FileTest : public ::testing::Test {
protected:
    // Writes the bytes, opens them and returns the position of the open file (-1 if none).
    long openBytes(const std::vector<uint8_t>& bytes) {
        const std::string path = m_dir.file("in.mp3");
        testkit::writeBytes(path, bytes);
        Result<OpenedMp3> opened = openMp3File(path);
        m_message = opened.message();
        m_info = opened ? opened->info : Mp3FileInfo{};
        return opened ? std::ftell(opened->file.get()) : -1;
    }
    testkit::TempDir m_dir;
    Mp3FileInfo m_info;
    std::string m_message;
};

TEST_F(Mp3FileTest, ReadsAnEncodedFileAtItsFirstFrame) {
    const long pos = openBytes(testkit::makeMp3(44100, 2, 128, 0.5));
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(m_message, "");
    EXPECT_EQ(m_info.sampleRate, 44100);
    EXPECT_EQ(m_info.bitRate, 128);
    EXPECT_EQ(m_info.channels, 2);
    EXPECT_EQ(m_info.versionBits, 3);
    EXPECT_EQ(m_info.layerBits, 1);
    EXPECT_TRUE(m_info.frameLength == 417 || m_info.frameLength == 418);

    EXPECT_EQ(openBytes(testkit::makeMp3(22050, 1, 64, 0.5)), 0);
    EXPECT_EQ(m_info.frameLength, 208);
    EXPECT_EQ(m_info.channels, 1);
}

// A tag can hold a picture whose bytes look like frame syncs; the search starts after it.
TEST_F(Mp3FileTest, SkipsTheId3TagBySize) {
    const std::vector<uint8_t> mp3 = testkit::makeMp3(44100, 2, 128, 0.2);
    for (uint32_t size : {4086u, 20000u}) {
        std::vector<uint8_t> tag = testkit::makeId3Tag(size);
        const std::vector<uint8_t> fake = frameBytes(0xFFF380C0, 8);
        std::copy(fake.begin(), fake.end(), tag.begin() + 100);
        EXPECT_EQ(openBytes(concat(tag, mp3)), long(10 + size)) << size;
        EXPECT_EQ(m_info.bitRate, 128) << size;
    }
    // The size bytes of the two tags are 00 00 1F 76 and 00 01 1C 20.
    const std::vector<uint8_t> t1 = testkit::makeId3Tag(4086), t2 = testkit::makeId3Tag(20000);
    EXPECT_EQ(std::vector<uint8_t>(t1.begin() + 6, t1.begin() + 10),
              (std::vector<uint8_t>{0, 0, 0x1F, 0x76}));
    EXPECT_EQ(std::vector<uint8_t>(t2.begin() + 6, t2.begin() + 10),
              (std::vector<uint8_t>{0, 1, 0x1C, 0x20}));
}

TEST_F(Mp3FileTest, FindsTheSyncAfterJunk) {
    std::vector<uint8_t> junk{0x00, 0xFF, 0x12, 0xFF, 0xDF, 0x33};
    EXPECT_EQ(openBytes(concat(junk, frameBytes(0xFFFB9040, 417))), 6);
    EXPECT_EQ(m_info.frameLength, 417);
}

TEST_F(Mp3FileTest, RefusesVariableBitRateButAcceptsInfoFrames) {
    EXPECT_EQ(openBytes(testkit::makeMp3(44100, 2, 0, 0.5, testkit::Mp3Tag::Xing)), -1);
    EXPECT_EQ(m_message, kMp3VbrRefused);
    EXPECT_EQ(m_info.bitRate, 0);

    EXPECT_EQ(openBytes(testkit::makeMp3(44100, 2, 128, 0.5, testkit::Mp3Tag::Info)), 0);
    EXPECT_EQ(m_info.bitRate, 128);

    // The Xing place depends on the side information: 13 (MPEG-2 mono), 21, 36 (MPEG-1 stereo).
    for (std::size_t offset : {13u, 21u, 36u}) {
        std::vector<uint8_t> frame = frameBytes(0xFFFB9040, 417);
        std::copy_n("Xing", 4, frame.begin() + long(offset));
        EXPECT_EQ(openBytes(frame), -1) << offset;
        EXPECT_EQ(m_message, kMp3VbrRefused);
    }
}

TEST_F(Mp3FileTest, AcceptsFreeFormatWithBitRateZero) {
    EXPECT_EQ(openBytes(frameBytes(0xFFFB0040, 600)), 0);
    EXPECT_EQ(m_info.bitRate, 0);
    EXPECT_EQ(m_info.sampleRate, 44100);
}

TEST_F(Mp3FileTest, GivesItsMessagesForBadFiles) {
    struct Bad {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    const std::vector<Bad> cases = {
        {"empty", {}, kMp3NoFrame},
        {"short tag", {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10, 1, 2}, kMp3TagUnreadable},
        {"tag past the end", testkit::makeId3Tag(100), kMp3NoFrame},
        {"no sync", std::vector<uint8_t>(5000, 0xFE), kMp3NoFrame},
        {"sync at the end", {0, 0, 0xFF}, kMp3NoFrame},
        {"header cut short", {0, 0xFF, 0xFB, 0x90}, kMp3NoFrame},
        {"bit-rate index 15", frameBytes(0xFFFBF040, 400), kMp3NoFrame},
    };
    for (const Bad& c : cases) {
        EXPECT_EQ(openBytes(c.bytes), -1) << c.name;
        EXPECT_EQ(m_message, c.message) << c.name;
    }
    Result<OpenedMp3> missing = openMp3File(m_dir.file("missing.mp3"));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.message(), kMp3OpenFailed);
}

} // namespace
} // namespace swivio
