// Decoding each sound format to the mixer's rate, and what damaged data gives.
#include <gtest/gtest.h>

#include "swf/sound/mp3_frames.h"
#include "swf/sound/sound_decoder.h"
#include "tests/support/sound_files.h"
#include "tests/support/swf_sounds.h"

namespace swivio::swf::sound {
namespace {

using testkit::sineSamples;

struct ToneCase {
    const char* name;
    uint8_t format;
    uint32_t rate;
    bool sixteenBit;
    bool stereo;
    int adpcmBits; // ADPCM only
};

std::vector<uint8_t> encodeTone(const ToneCase& c, uint32_t frames) {
    const auto samples = sineSamples(c.rate, c.stereo ? 2 : 1, frames);
    if (c.format == 1)
        return testkit::encodeSwfAdpcm(samples, c.stereo ? 2 : 1, c.adpcmBits);
    if (c.sixteenBit)
        return testkit::littleEndianBytes(samples);
    std::vector<uint8_t> bytes;
    for (int16_t s : samples)
        bytes.push_back(uint8_t(128 + s / 256)); // 8-bit samples are unsigned
    return bytes;
}

class ToneDecoding : public testing::TestWithParam<ToneCase> {};

// One second of a 440 Hz tone (880 Hz on the right) comes out one second long at 44100 Hz,
// at its pitch, on both speakers (a mono sound on both alike).
TEST_P(ToneDecoding, KeepsPitchAndLength) {
    const ToneCase& c = GetParam();
    const auto data = encodeTone(c, c.rate);
    const SoundEncoding encoding{c.format, c.rate, c.sixteenBit, c.stereo};
    auto decoded = decodeSound(encoding, data);
    ASSERT_TRUE(decoded.ok()) << decoded.message();
    EXPECT_NEAR(double(decoded->frames()), 44100.0, 2.0);
    const auto& s = decoded->samples;
    EXPECT_NEAR(testkit::zeroCrossingFrequency(s, 0, 2000, 40000), 440.0, 6.0);
    EXPECT_NEAR(testkit::zeroCrossingFrequency(s, 1, 2000, 40000), c.stereo ? 880.0 : 440.0, 9.0);
    EXPECT_NEAR(testkit::peakLevel(s, 0, 2000, 40000), 8000.0 / 32768, 0.03);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ToneDecoding,
    testing::Values(ToneCase{"Pcm8Mono5k", 0, 5512, false, false, 0},
                    ToneCase{"PcmLe16Stereo22k", 3, 22050, true, true, 0},
                    ToneCase{"PcmNative16Mono44k", 0, 44100, true, false, 0},
                    ToneCase{"Adpcm2Mono11k", 1, 11025, true, false, 2},
                    ToneCase{"Adpcm3Stereo22k", 1, 22050, true, true, 3},
                    ToneCase{"Adpcm4Mono44k", 1, 44100, true, false, 4},
                    ToneCase{"Adpcm5Stereo44k", 1, 44100, true, true, 5}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Mp3Decoding, SeekSamplesAndCountBoundTheSound) {
    const auto mp3 = testkit::makeMp3(22050, 1, 64, 1.0);
    const SoundEncoding encoding{2, 22050, true, false};
    auto whole = decodeSound(encoding, mp3);
    ASSERT_TRUE(whole.ok()) << whole.message();
    EXPECT_NEAR(testkit::zeroCrossingFrequency(whole->samples, 0, 10000, 40000), 440.0, 6.0);
    // 11025 samples at 22050 Hz after skipping 1000: half a second at 44100.
    auto cut = decodeSound(encoding, mp3, 1000, 11025);
    ASSERT_TRUE(cut.ok());
    EXPECT_NEAR(double(cut->frames()), 22050.0, 2.0);
    // The skip takes the start away: what was at 1000 (2000 at 44100) is now first.
    EXPECT_NEAR(cut->samples[2 * 100], whole->samples[2 * 2100], 0.02);
}

TEST(StreamDecoding, BlocksStartWhereTheirSamplesDo) {
    // Three PCM blocks of 1837 samples at 22050 Hz (12 frames a second).
    const auto tone = sineSamples(22050, 1, 3 * 1837);
    const auto bytes = testkit::littleEndianBytes(tone);
    std::vector<std::vector<uint8_t>> blocks;
    for (int b = 0; b < 3; ++b)
        blocks.emplace_back(bytes.begin() + b * 1837 * 2, bytes.begin() + (b + 1) * 1837 * 2);
    std::vector<std::span<const uint8_t>> views(blocks.begin(), blocks.end());
    SoundStreamHead head;
    head.formatCode = 3;
    head.rate = 22050;
    head.sixteenBit = true;
    head.samplesPerBlock = 1837;
    auto stream = decodeStream(head, views);
    ASSERT_TRUE(stream.ok()) << stream.message();
    EXPECT_EQ(stream->blockStarts, (std::vector<std::size_t>{0, 3674, 7348}));
    EXPECT_NEAR(double(stream->sound.frames()), 3 * 3674.0, 2.0);
}

// MP3 blocks are one stream: each block starts at the samples counted before it, after the
// first block's seek samples.
TEST(StreamDecoding, Mp3BlocksShareOneStreamPlacedByTheirCounts) {
    const auto mp3 = testkit::makeMp3(44100, 2, 128, 1.0);
    std::vector<std::vector<uint8_t>> blocks;
    std::size_t at = 0;
    while (at + 4 <= mp3.size()) {
        auto header = readMp3FrameHeader(std::span(mp3).subspan(at));
        ASSERT_TRUE(header);
        const std::size_t end = std::min(mp3.size(), at + header->frameBytes);
        // One MP3 frame (1152 samples) a block; the first says 100 samples lead in.
        std::vector<uint8_t> block = {0x80, 0x04, uint8_t(blocks.empty() ? 100 : 0), 0};
        block.insert(block.end(), mp3.begin() + long(at), mp3.begin() + long(end));
        blocks.push_back(std::move(block));
        at = end;
    }
    std::vector<std::span<const uint8_t>> views(blocks.begin(), blocks.end());
    SoundStreamHead head;
    head.formatCode = 2;
    head.rate = 44100;
    head.sixteenBit = true;
    head.stereo = true;
    auto stream = decodeStream(head, views);
    ASSERT_TRUE(stream.ok()) << stream.message();
    ASSERT_EQ(stream->blockStarts.size(), blocks.size());
    for (std::size_t b = 0; b < blocks.size(); ++b)
        EXPECT_EQ(stream->blockStarts[b], 100 + 1152 * b) << b;
    EXPECT_NEAR(testkit::zeroCrossingFrequency(stream->sound.samples, 1, 5000, 40000), 880.0, 9.0);
}

struct DamageCase {
    const char* name;
    uint8_t format;
    std::vector<uint8_t> data;
    bool decodes;
};

class DamagedSound : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedSound, NeverCrashes) {
    const DamageCase& c = GetParam();
    auto decoded = decodeSound(SoundEncoding{c.format, 22050, true, true}, c.data);
    EXPECT_EQ(decoded.ok(), c.decodes) << decoded.message();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedSound,
    testing::Values(DamageCase{"Mp3Garbage", 2, std::vector<uint8_t>(3000, 0xFF), true},
                    DamageCase{"Mp3Empty", 2, {}, true},
                    DamageCase{"AdpcmCut", 1, {0x80, 0x01}, true},
                    DamageCase{"PcmOddByte", 3, {1, 2, 3}, true},
                    DamageCase{"NellymoserNoise", 6, std::vector<uint8_t>(200, 0x5A), true},
                    DamageCase{"UnknownFormat", 9, {1, 2, 3}, false}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace swivio::swf::sound
