// The movie's own sound recorded frame by frame: a WAV file at the output's rate and channels
// holding exactly the recorded frames' time, each frame's sound where its picture is.
#include <filesystem>

#include <gtest/gtest.h>

#include "capture/recording_session.h"
#include "settings/settings_rules.h"
#include "tests/support/sound_files.h"
#include "tests/support/swf_sounds.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using namespace testkit;

// 12 frames a second; a stream whose block for frame f holds a constant level (f + 1) / 16.
std::string writeLevelMovie(const TempDir& dir, int frames) {
    SwfWriter w;
    w.xMax = 40 * 20;
    w.yMax = 30 * 20;
    w.frameCount = uint16_t(frames);
    w.tag(18, soundStreamHeadBody(3, 44100, true, false, 3675));
    for (int f = 0; f < frames; ++f) {
        const std::vector<int16_t> block(3675, int16_t((f + 1) * 2048));
        w.tag(19, littleEndianBytes(block)).showFrame();
    }
    w.end();
    const std::string path = dir.file("levels.swf");
    EXPECT_TRUE(w.writeFile(path));
    return path;
}

struct WavCase {
    const char* name;
    int rateIndex, channelsIndex;
    int rate, channels;
};

class MovieSoundRecording : public testing::TestWithParam<WavCase> {};

TEST_P(MovieSoundRecording, WavHoldsEachRecordedFramesSound) {
    const WavCase& c = GetParam();
    TempDir dir;
    const std::string path = writeLevelMovie(dir, 10);
    ConversionSettings s;
    MovieProperties movie;
    movie.width = 40;
    movie.height = 30;
    movie.frameRate = 12;
    movie.length = 10;
    resetForMovie(s, path, movie);
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::RecordFromMovie;
    s.aviAudioSampleRate = c.rateIndex;
    s.aviAudioChannels = c.channelsIndex;
    s.tempPath = dir.path().string();
    s.firstRecordedFrame = 3; // frames 3 to 7 (1-based): the sound of frames 2 to 6
    s.lastRecordedFrame = 7;
    s.recordingMode = RecordingMode::Timeline;
    RecordingSession session(s);
    ASSERT_TRUE(session.open()) << session.errorString();
    ASSERT_TRUE(session.runFrameByFrame()) << session.errorString();
    ASSERT_TRUE(session.finish()) << session.errorString();
    ASSERT_EQ(session.recordCount(), 5);
    const std::vector<uint8_t> wav = readBytes(session.recordedSoundPath());
    ASSERT_GE(wav.size(), 44u);
    auto u32 = [&wav](std::size_t at) {
        return uint32_t(wav[at] | wav[at + 1] << 8 | wav[at + 2] << 16 | uint32_t(wav[at + 3]) << 24);
    };
    EXPECT_EQ(u32(24), uint32_t(c.rate));
    EXPECT_EQ(wav[22], c.channels);
    // Five frames at 12 a second, to the sample at the file's rate.
    const uint32_t frames = uint32_t(5 * 3675 * uint64_t(c.rate) / 44100);
    EXPECT_EQ(u32(40), frames * uint32_t(c.channels) * 2);
    EXPECT_EQ(wav.size(), 44u + frames * uint32_t(c.channels) * 2);
    // The middle of record k carries block k + 2.
    for (int k = 0; k < 5; ++k) {
        const std::size_t at = 44 + (std::size_t(k) * frames / 5 + frames / 10) * std::size_t(c.channels) * 2;
        const int16_t sample = int16_t(wav[at] | wav[at + 1] << 8);
        EXPECT_NEAR(sample, (k + 3) * 2048, 40) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, MovieSoundRecording,
                         testing::Values(WavCase{"Stereo44k", 2, 1, 44100, 2},
                                         WavCase{"Mono22k", 1, 0, 22050, 1},
                                         WavCase{"Stereo11k", 0, 1, 11025, 2}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace swivio
