// DefineSound and SOUNDINFO reading, and lengths from sample counts and MP3 frames.
#include <gtest/gtest.h>

#include "swf/format/sound.h"
#include "swf/sound/mp3_frames.h"
#include "swf/sound/sound_library.h"
#include "tests/support/sound_files.h"

namespace swivio::swf::sound {
namespace {

// A DefineSound body: id 7, the flags byte, the sample count, then payload.
std::vector<uint8_t> defineSound(uint8_t flags, uint32_t samples, std::vector<uint8_t> payload) {
    std::vector<uint8_t> body = {7, 0, flags, uint8_t(samples), uint8_t(samples >> 8),
                                 uint8_t(samples >> 16), uint8_t(samples >> 24)};
    body.insert(body.end(), payload.begin(), payload.end());
    return body;
}

struct DurationCase {
    uint8_t flags;
    uint32_t samples;
    uint32_t rate;
    uint32_t ms;
};

class DefineSoundDuration : public testing::TestWithParam<DurationCase> {};

TEST_P(DefineSoundDuration, FollowsSampleCountAndRate) {
    const DurationCase& c = GetParam();
    const auto body = defineSound(c.flags, c.samples, {0, 0, 1, 2});
    auto sound = parseDefineSound(body);
    ASSERT_TRUE(sound.ok()) << sound.message();
    EXPECT_EQ(sound->rate, c.rate);
    EXPECT_EQ(soundDurationMs(*sound), c.ms);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, DefineSoundDuration,
    testing::Values(DurationCase{0x3E, 44100, 44100, 1000},     // PCM 44 kHz stereo 16-bit
                    DurationCase{0x26, 151488, 11025, 13740},   // MP3 11 kHz: 13.7403 s
                    DurationCase{0x00, 5512, 5512, 1000},       // "5.5 kHz" is 5512 a second
                    DurationCase{0x18, 22050 / 2, 22050, 500},  // ADPCM 22 kHz
                    DurationCase{0x0C, 0, 44100, 0}));          // no samples, no length

TEST(DefineSound, Mp3KeepsSeekSamplesApartFromData) {
    const auto body = defineSound(0x2E, 1152, {0x40, 0x02, 0xFF, 0xFB});
    auto sound = parseDefineSound(body);
    ASSERT_TRUE(sound.ok());
    EXPECT_EQ(sound->format(), SoundFormat::Mp3);
    EXPECT_EQ(sound->seekSamples, 576);
    ASSERT_EQ(sound->data.size(), 2u);
    EXPECT_EQ(sound->data[0], 0xFF);
}

TEST(DefineSound, CutShortIsRefused) {
    const std::vector<uint8_t> body = {7, 0, 0x3E, 1, 2};
    EXPECT_FALSE(parseDefineSound(body).ok());
}

TEST(StartSound, ReadsEveryOptionalField) {
    // StartSound2 of "snd": stop flag clear, in and out points, 3 loops, a 2-point envelope.
    const std::vector<uint8_t> body = {'s', 'n', 'd', 0, 0x1F, 10, 0, 0, 0, 20, 0, 0, 0, 3, 0, 2,
                                       0,   0,   0,   0, 0,    0x80, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x80};
    auto start = parseStartSound(89, body);
    ASSERT_TRUE(start.ok()) << start.message();
    EXPECT_EQ(start->className, "snd");
    EXPECT_TRUE(start->info.syncNoMultiple);
    EXPECT_FALSE(start->info.syncStop);
    EXPECT_EQ(start->info.inPoint, 10u);
    EXPECT_EQ(start->info.outPoint, 20u);
    EXPECT_EQ(start->info.loops, 3);
    ASSERT_EQ(start->info.envelope.size(), 2u);
    EXPECT_EQ(start->info.envelope[0].leftLevel, 0x8000);
    EXPECT_EQ(start->info.envelope[1].rightLevel, 0x8000);
}

TEST(StartSound, EnvelopeLongerThanTagIsRefused) {
    // 200 points announced, none present: no read past the tag, no huge reservation.
    const std::vector<uint8_t> body = {5, 0, 0x08, 200};
    EXPECT_FALSE(parseStartSound(15, body).ok());
    const std::vector<uint8_t> stop = {5, 0, 0x20};
    auto parsed = parseStartSound(15, stop);
    ASSERT_TRUE(parsed.ok());
    EXPECT_TRUE(parsed->info.syncStop);
    EXPECT_EQ(parsed->info.loops, 1);
}

struct Mp3Case {
    uint32_t rate;
    uint16_t channels;
    int kbps;
    double seconds;
    uint32_t samplesPerFrame;
};

class Mp3Frames : public testing::TestWithParam<Mp3Case> {};

// LAME pads the stream with up to two frames of silence, so the length is the encoded one
// and at most a little more.
TEST_P(Mp3Frames, LengthFromFramesMatchesWhatWasEncoded) {
    const Mp3Case& c = GetParam();
    const auto mp3 = testkit::makeMp3(c.rate, c.channels, c.kbps, c.seconds);
    const Mp3Scan scan = scanMp3Frames(mp3);
    EXPECT_EQ(scan.sampleRate, c.rate);
    EXPECT_EQ(scan.channels, c.channels);
    EXPECT_EQ(scan.samples, uint64_t(scan.frames) * c.samplesPerFrame);
    const double slack = 3000.0 * c.samplesPerFrame / c.rate;
    EXPECT_GE(scan.durationMs(), uint32_t(c.seconds * 1000) - 1);
    EXPECT_LE(scan.durationMs(), c.seconds * 1000 + slack);
    // Samples skipped at the start shorten it.
    EXPECT_EQ(scan.durationMs(int(c.rate)), scan.durationMs() - 1000);
}

INSTANTIATE_TEST_SUITE_P(Versions, Mp3Frames,
                         testing::Values(Mp3Case{44100, 2, 128, 2.0, 1152},  // MPEG 1
                                         Mp3Case{22050, 1, 32, 1.5, 576},    // MPEG 2
                                         Mp3Case{11025, 1, 16, 1.2, 576}));  // MPEG 2.5

TEST(Mp3FramesScan, SkipsId3AndGarbage) {
    auto mp3 = testkit::makeMp3(44100, 1, 64, 1.0);
    const Mp3Scan plain = scanMp3Frames(mp3);
    std::vector<uint8_t> wrapped = testkit::makeId3Tag(300, 0xFF);
    wrapped.insert(wrapped.end(), {0x12, 0xFF, 0x00, 0x34});
    wrapped.insert(wrapped.end(), mp3.begin(), mp3.end());
    const Mp3Scan scan = scanMp3Frames(wrapped);
    EXPECT_EQ(scan.frames, plain.frames);
    EXPECT_EQ(scan.firstFrame, 310u + 4u);
    const std::vector<uint8_t> noise(5000, 0xFF);
    EXPECT_EQ(scanMp3Frames(noise).frames, 0u);
}

} // namespace
} // namespace swivio::swf::sound
