#include <gtest/gtest.h>

#include "encode/audio/mp3_file_reader.h"
#include "encode/avi/avi_writer.h"
#include "tests/encode/avi/avi_inspect.h"
#include "tests/support/sound_files.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using testkit::RiffNode;

constexpr int kWidth = 32;
constexpr int kHeight = 16;

struct AviResult {
    std::string path;
    bool soundAdded = false;
    uint32_t chunkSize = 0;
    int audioBlocks = 0;
    std::string message;
};

// Writes `frames` uncompressed frames with the sound file at `soundPath`.
AviResult writeWithSound(const testkit::TempDir& dir, const std::string& soundPath,
                         AviSoundMode mode, double frameRate, int frames, int bitRate = 128000) {
    AviResult r;
    r.path = dir.file("sound.avi");
    AviWriter writer;
    EXPECT_TRUE(writer.open(r.path, kWidth, kHeight, frameRate, 0));
    r.soundAdded = writer.addAudio(soundPath, mode, bitRate);
    r.message = writer.userMessage();
    r.chunkSize = writer.chunkSize();
    Frame frame(kWidth, kHeight);
    for (int i = 0; i < frames; ++i)
        EXPECT_TRUE(writer.writeFrame(frame));
    EXPECT_TRUE(writer.finish()) << writer.errorString();
    r.audioBlocks = writer.audioBlockIndex();
    return r;
}

const RiffNode& movieList(const std::vector<RiffNode>& riffs) {
    static const RiffNode none;
    const RiffNode* movi = riffs.empty() ? nullptr : riffs[0].find("movi");
    return movi ? *movi : none;
}

const RiffNode* soundFormat(const std::vector<RiffNode>& riffs) {
    const RiffNode* hdrl = riffs.at(0).find("hdrl");
    const std::vector<const RiffNode*> strls = hdrl->all("strl");
    return strls.size() < 2 ? nullptr : strls[1]->find("strf");
}

const RiffNode* soundHeader(const std::vector<RiffNode>& riffs) {
    const std::vector<const RiffNode*> strls = riffs.at(0).find("hdrl")->all("strl");
    return strls.size() < 2 ? nullptr : strls[1]->find("strh");
}

std::vector<uint8_t> soundBytes(const RiffNode& movi) {
    std::vector<uint8_t> bytes;
    for (const RiffNode& c : movi.children)
        if (c.id == "01wb")
            bytes.insert(bytes.end(), c.body.begin(), c.body.end());
    return bytes;
}

struct PcmCase {
    uint32_t sampleRate;
    uint16_t channels;
    double frameRate;
    uint32_t chunkSize;
};

class PcmChunkTest : public ::testing::TestWithParam<PcmCase> {};

// Every video chunk is followed by one frame period of sound, whole samples only.
TEST_P(PcmChunkTest, InterleavesOneFramePeriodOfSoundAfterEachFrame) {
    const PcmCase& c = GetParam();
    testkit::TempDir dir;
    testkit::WavSpec wavLayout;
    wavLayout.sampleRate = c.sampleRate;
    wavLayout.channels = c.channels;
    const std::string wav = dir.file("in.wav");
    testkit::writeBytes(
        wav, testkit::makeWav(wavLayout,
                              testkit::sinePcm16(c.sampleRate, c.channels, c.sampleRate * 2)));
    const AviResult r = writeWithSound(dir, wav, AviSoundMode::Pcm, c.frameRate, 10);
    ASSERT_TRUE(r.soundAdded);
    EXPECT_EQ(r.chunkSize, c.chunkSize);

    const std::vector<RiffNode> riffs = testkit::walkRiff(r.path, true);
    const RiffNode& movi = movieList(riffs);
    ASSERT_EQ(movi.children.size(), 20u);
    for (std::size_t i = 0; i < 20; i += 2) {
        EXPECT_EQ(movi.children[i].id, "00db");
        EXPECT_EQ(movi.children[i + 1].id, "01wb");
        EXPECT_EQ(movi.children[i + 1].size, c.chunkSize);
    }
    const RiffNode* strh = soundHeader(riffs);
    ASSERT_NE(strh, nullptr);
    EXPECT_EQ(std::string(strh->body.begin(), strh->body.begin() + 4), "auds");
    EXPECT_EQ(strh->u32(20), 1u);              // scale
    EXPECT_EQ(strh->u32(24), c.sampleRate);    // rate
    EXPECT_EQ(strh->u32(44), 2u * c.channels); // sample size = block align
    const RiffNode* strf = soundFormat(riffs);
    ASSERT_NE(strf, nullptr);
    ASSERT_EQ(strf->body.size(), 18u);
    EXPECT_EQ(strf->u16(0), 1u);
    EXPECT_EQ(strf->u16(2), c.channels);
    EXPECT_EQ(strf->u32(4), c.sampleRate);
    EXPECT_EQ(strf->u16(16), 0u); // extra size

    const testkit::ProbedFile probe = testkit::probeFile(r.path);
    ASSERT_TRUE(probe.opened);
    ASSERT_EQ(probe.streams.size(), 2u);
    EXPECT_EQ(probe.streams[1].codec, "pcm_s16le");
    EXPECT_EQ(probe.streams[1].sampleRate, int(c.sampleRate));
    EXPECT_EQ(probe.streams[1].channels, c.channels);
    EXPECT_EQ(probe.streams[1].packetBytes, int64_t(10) * c.chunkSize);
}

INSTANTIATE_TEST_SUITE_P(Rates, PcmChunkTest,
                         ::testing::Values(PcmCase{44100, 2, 12, 14700},
                                           PcmCase{44100, 2, 29.97, 5884},
                                           PcmCase{22050, 1, 30, 1470}, PcmCase{8000, 1, 7, 2284}));

TEST(AviSoundTest, SoundEndingFirstLeavesLaterFramesSilent) {
    testkit::TempDir dir;
    testkit::WavSpec wavLayout;
    wavLayout.sampleRate = 22050;
    wavLayout.channels = 1;
    const std::string wav = dir.file("in.wav");
    // 3.5 frame periods of sound at 30 fps (1470 bytes each) and a LIST chunk after the data
    // that must not be taken for sound.
    wavLayout.after.push_back({"LIST", std::vector<uint8_t>(9000, 0x7F)});
    testkit::writeBytes(wav, testkit::makeWav(wavLayout, testkit::sinePcm16(22050, 1, 2572)));
    const AviResult r = writeWithSound(dir, wav, AviSoundMode::Pcm, 30, 6);
    ASSERT_TRUE(r.soundAdded);
    const std::vector<RiffNode> riffs = testkit::walkRiff(r.path, true);
    const RiffNode& movi = movieList(riffs);
    std::vector<std::string> order;
    for (const RiffNode& c : movi.children)
        order.push_back(c.id + ":" + std::to_string(c.size));
    const std::vector<std::string> expected = {"00db:1536", "01wb:1470", "00db:1536", "01wb:1470",
                                               "00db:1536", "01wb:1470", "00db:1536", "01wb:734",
                                               "00db:1536", "00db:1536"};
    EXPECT_EQ(order, expected);
}

TEST(AviSoundTest, EncodesOnlyTheDataChunkToMp3) {
    testkit::TempDir dir;
    testkit::WavSpec wavLayout;
    wavLayout.before.push_back({"LIST", std::vector<uint8_t>(600, 0x11)});
    wavLayout.after.push_back({"LIST", std::vector<uint8_t>(80000, 0x7F)}); // 20000 samples
    const std::string wav = dir.file("in.wav");
    const uint32_t samples = 44100;
    testkit::writeBytes(wav, testkit::makeWav(wavLayout, testkit::sinePcm16(44100, 2, samples)));
    const AviResult r = writeWithSound(dir, wav, AviSoundMode::Mp3Encode, 25, 40, 128000);
    ASSERT_TRUE(r.soundAdded);
    EXPECT_EQ(r.chunkSize, 7056u);

    const std::vector<RiffNode> riffs = testkit::walkRiff(r.path, true);
    const RiffNode* strh = soundHeader(riffs);
    ASSERT_NE(strh, nullptr);
    EXPECT_EQ(strh->u32(20), 1u);
    EXPECT_EQ(strh->u32(24), 16000u); // bytes per second
    EXPECT_EQ(strh->u32(44), 1u);     // sample size
    const RiffNode* strf = soundFormat(riffs);
    ASSERT_NE(strf, nullptr);
    ASSERT_EQ(strf->body.size(), 30u);
    EXPECT_EQ(strf->u16(0), 0x55u);
    EXPECT_EQ(strf->u16(2), 2u);
    EXPECT_EQ(strf->u32(4), 44100u);
    EXPECT_EQ(strf->u32(8), 16000u);
    EXPECT_EQ(strf->u16(12), 1u);  // block align
    EXPECT_EQ(strf->u16(14), 0u);  // bits per sample
    EXPECT_EQ(strf->u16(16), 12u); // extra size
    EXPECT_EQ(strf->u16(18), 1u);  // MPEG
    EXPECT_EQ(strf->u32(20), 2u);  // padding off
    EXPECT_EQ(strf->u16(24), 1u);  // block size
    EXPECT_EQ(strf->u16(26), 1u);  // frames per block
    EXPECT_EQ(strf->u16(28), 0u);  // codec delay

    // The encoder's flush is the last chunk, after the last video frame.
    const RiffNode& movi = movieList(riffs);
    ASSERT_FALSE(movi.children.empty());
    EXPECT_EQ(movi.children.back().id, "01wb");
    int soundChunks = 0;
    for (const RiffNode& c : movi.children)
        soundChunks += c.id == "01wb";
    EXPECT_EQ(soundChunks, r.audioBlocks);

    const testkit::ProbedFile probe = testkit::probeFile(r.path);
    ASSERT_TRUE(probe.opened);
    ASSERT_EQ(probe.streams.size(), 2u);
    EXPECT_EQ(probe.streams[1].codec, "mp3");
    EXPECT_EQ(probe.streams[1].sampleRate, 44100);
    EXPECT_EQ(probe.streams[1].channels, 2);
    // One second of sound, plus the encoder's delay and the padding of the last frame: never
    // the 20000 samples of the LIST chunk after the data.
    const int64_t decoded = testkit::decodedAudioSamples(r.path);
    EXPECT_GE(decoded, int64_t(samples));
    EXPECT_LE(decoded, int64_t(samples) + 3 * 1152);
}

TEST(AviSoundTest, CopiesMp3BytesInFramePeriodSlices) {
    testkit::TempDir dir;
    const std::vector<uint8_t> mp3 = testkit::makeMp3(44100, 2, 128, 1.5);
    std::vector<uint8_t> file = testkit::makeId3Tag(4086, 0xFF);
    file.insert(file.end(), mp3.begin(), mp3.end());
    const std::string path = dir.file("in.mp3");
    testkit::writeBytes(path, file);

    const AviResult r = writeWithSound(dir, path, AviSoundMode::Mp3Copy, 15, 20);
    ASSERT_TRUE(r.soundAdded) << r.message;
    EXPECT_EQ(r.chunkSize, 1066u);
    const std::vector<RiffNode> riffs = testkit::walkRiff(r.path, true);
    const RiffNode& movi = movieList(riffs);
    for (const RiffNode& c : movi.children) {
        if (c.id == "01wb") {
            EXPECT_EQ(c.size, 1066u);
        }
    }
    // The bytes from the first frame on, unchanged, without regard to frame boundaries.
    const std::vector<uint8_t> copied = soundBytes(movi);
    ASSERT_EQ(copied.size(), 20u * 1066u);
    EXPECT_TRUE(std::equal(copied.begin(), copied.end(), mp3.begin()));

    Result<OpenedMp3> opened = openMp3File(path);
    ASSERT_TRUE(opened) << opened.message();
    const Mp3FileInfo& info = opened->info;
    const RiffNode* strh = soundHeader(riffs);
    ASSERT_NE(strh, nullptr);
    EXPECT_EQ(strh->u32(24), 16000u);
    EXPECT_EQ(strh->u32(44), 1u);
    const RiffNode* strf = soundFormat(riffs);
    ASSERT_NE(strf, nullptr);
    EXPECT_EQ(strf->u16(0), 0x55u);
    EXPECT_EQ(strf->u32(8), 16000u);
    EXPECT_EQ(strf->u16(24), uint16_t(info.frameLength));

    const testkit::ProbedFile probe = testkit::probeFile(r.path);
    ASSERT_TRUE(probe.opened);
    ASSERT_EQ(probe.streams.size(), 2u);
    EXPECT_EQ(probe.streams[1].codec, "mp3");
    EXPECT_EQ(probe.streams[1].sampleRate, 44100);
    EXPECT_GT(testkit::decodedAudioSamples(r.path), 44100 * 20 / 15 * 9 / 10);
}

TEST(AviSoundTest, WholeExtensibleFormatIsStored) {
    testkit::TempDir dir;
    testkit::WavSpec wavLayout;
    wavLayout.formatTag = 0xFFFE;
    // Valid bits, channel mask (front left and right), PCM sub format GUID.
    wavLayout.formatExtra = {16, 0,    3, 0,    0, 0, 1,    0, 0,    0,    0,
                             0,  0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    const std::string wav = dir.file("ext.wav");
    testkit::writeBytes(wav, testkit::makeWav(wavLayout, testkit::sinePcm16(44100, 2, 44100)));
    const AviResult r = writeWithSound(dir, wav, AviSoundMode::Pcm, 25, 5);
    ASSERT_TRUE(r.soundAdded);
    const std::vector<RiffNode> riffs = testkit::walkRiff(r.path);
    const RiffNode* strf = soundFormat(riffs);
    ASSERT_NE(strf, nullptr);
    EXPECT_EQ(strf->body.size(), 40u);
    const testkit::ProbedFile probe = testkit::probeFile(r.path);
    ASSERT_TRUE(probe.opened);
    ASSERT_EQ(probe.streams.size(), 2u);
    EXPECT_EQ(probe.streams[1].codec, "pcm_s16le");
    EXPECT_EQ(probe.streams[1].channels, 2);
}

struct RefusedCase {
    const char* name;
    std::vector<uint8_t> bytes;
    AviSoundMode mode;
    const char* message;
};

// A sound that cannot be added leaves a valid file with video only.
TEST(AviSoundTest, RefusedSoundLeavesAVideoOnlyFile) {
    testkit::WavSpec eightBit;
    eightBit.bitsPerSample = 8;
    std::vector<uint8_t> noBlockAlign = testkit::makeWav({}, testkit::sinePcm16(8000, 2, 100));
    noBlockAlign[32] = noBlockAlign[33] = 0;
    std::vector<uint8_t> freeFormat(2000, 0);
    freeFormat[0] = 0xFF, freeFormat[1] = 0xFB, freeFormat[2] = 0x00, freeFormat[3] = 0x40;
    const std::vector<RefusedCase> cases = {
        {"vbr", testkit::makeMp3(44100, 2, 0, 0.5, testkit::Mp3Tag::Xing), AviSoundMode::Mp3Copy,
         kMp3VbrRefused},
        {"free format", freeFormat, AviSoundMode::Mp3Copy,
         "Free-format mp3 is not supported for AVI!"},
        {"no frames", std::vector<uint8_t>(100, 1), AviSoundMode::Mp3Copy, kMp3NoFrame},
        {"8-bit to mp3", testkit::makeWav(eightBit, std::vector<uint8_t>(8000, 0x80)),
         AviSoundMode::Mp3Encode, ""},
        {"block align 0", noBlockAlign, AviSoundMode::Pcm, ""},
        {"not a wav", std::vector<uint8_t>(100, 1), AviSoundMode::Pcm, ""},
    };
    for (const RefusedCase& c : cases) {
        testkit::TempDir dir;
        const std::string sound = dir.file("in.snd");
        testkit::writeBytes(sound, c.bytes);
        const AviResult r = writeWithSound(dir, sound, c.mode, 25, 3);
        EXPECT_FALSE(r.soundAdded) << c.name;
        EXPECT_EQ(r.message, c.message) << c.name;
        const testkit::ProbedFile probe = testkit::probeFile(r.path);
        ASSERT_TRUE(probe.opened) << c.name;
        ASSERT_EQ(probe.streams.size(), 1u) << c.name;
        EXPECT_EQ(probe.streams[0].packets, 3) << c.name;
    }
}

TEST(AviSoundTest, SoundComesBeforeTheFirstFrame) {
    testkit::TempDir dir;
    const std::string wav = dir.file("in.wav");
    testkit::writeBytes(wav, testkit::makeWav({}, testkit::sinePcm16(44100, 2, 4410)));
    AviWriter writer;
    ASSERT_TRUE(writer.open(dir.file("late.avi"), kWidth, kHeight, 25, 0));
    ASSERT_TRUE(writer.writeFrame(Frame(kWidth, kHeight)));
    EXPECT_FALSE(writer.addAudio(wav, true, true, 0));
    EXPECT_EQ(writer.userMessage(), kAviAudioStreamFailed);
    EXPECT_TRUE(writer.finish());
}

} // namespace
} // namespace swivio
