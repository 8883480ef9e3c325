// The sound capture: what the audio outputs play, mixed into a WAV at real-time pace.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "audio/audio_hook.h"
#include "capture/sound_capture.h"
#include "capture/temp_wave_file.h"
#include "tests/capture/capture_probes.h"
#include "tests/support/temp_dir.h"

namespace swivio::testkit {
namespace {

using namespace std::chrono_literals;

audio::AudioFormat formatOf(int rate, int channels) {
    audio::AudioFormat f;
    f.channels = uint16_t(channels);
    f.samplesPerSecond = uint32_t(rate);
    f.blockAlign = uint16_t(channels * 2);
    f.avgBytesPerSecond = uint32_t(rate * channels * 2);
    return f;
}

// A capture writing into a fresh WAV of `rate` and `channels`, driven by the test's clock.
struct Recorder {
    TempDir dir;
    ManualClock clock;
    SoundCapture capture{clock, SoundCapture::Writer::Manual};
    std::string path;

    Recorder(int rate, int channels) {
        auto wave = createTempWaveFile(dir.path().string());
        EXPECT_TRUE(wave) << wave.message();
        path = wave->path;
        EXPECT_TRUE(capture.openWaveFile(std::move(wave->file), path, rate, channels));
    }
    // Advances the clock by `ms` in writer steps.
    void run(int ms) {
        for (int t = 0; t < ms; t += SoundCapture::kStepMs) {
            clock.advance(std::chrono::milliseconds(SoundCapture::kStepMs));
            capture.advanceTo(clock.now());
        }
    }
    WaveContents finish() {
        EXPECT_TRUE(capture.stop());
        return readWave(path);
    }
};

// An output playing `frames` sample frames of a constant level per channel.
std::vector<int16_t> level(int frames, int channels, int16_t left, int16_t right) {
    std::vector<int16_t> s;
    for (int i = 0; i < frames; ++i) {
        s.push_back(left);
        if (channels == 2)
            s.push_back(right);
    }
    return s;
}

struct FormatCase {
    int rate;
    int channels;
};

class SilencePace : public testing::TestWithParam<FormatCase> {};

// With nobody writing, every step moves 100 ms of silence into the file, the first included.
TEST_P(SilencePace, TheFileKeepsRealTimeWithNoWriter) {
    const FormatCase c = GetParam();
    Recorder r(c.rate, c.channels);
    ASSERT_TRUE(r.capture.start());
    r.run(100);
    EXPECT_EQ(r.capture.framesWritten(), uint64_t(c.rate / 10));
    r.run(900);
    EXPECT_DOUBLE_EQ(r.capture.writtenMs(), 1000.0);
    const WaveContents w = r.finish();
    ASSERT_TRUE(w.valid);
    EXPECT_TRUE(w.sizesMatch);
    EXPECT_EQ(w.rate, c.rate);
    EXPECT_EQ(w.channels, c.channels);
    EXPECT_EQ(w.samples.size(), std::size_t(c.rate * c.channels));
    for (int16_t s : w.samples)
        ASSERT_EQ(s, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, SilencePace,
                         testing::Values(FormatCase{44100, 2}, FormatCase{22050, 1},
                                         FormatCase{11025, 2}, FormatCase{48000, 2}));

// Two outputs of different rates and channels are summed, saturating, at the file's rate.
TEST(SoundCaptureTest, TwoOutputsAreSummedAndSaturate) {
    Recorder r(44100, 2);
    const audio::AudioHandle a = audio::nextAudioHandle();
    const audio::AudioHandle b = audio::nextAudioHandle();
    audio::notifyDeviceOpened(a, formatOf(44100, 2));
    audio::notifyDeviceOpened(b, formatOf(22050, 1));
    ASSERT_TRUE(r.capture.start());
    // 200 ms from each: a plays (20000, -20000), b plays 20000 on its one channel.
    audio::notifyBufferWritten(a, level(8820, 2, 20000, -20000));
    audio::notifyBufferWritten(b, level(4410, 1, 20000, 0));
    r.run(200);
    audio::notifyDeviceClosed(a);
    audio::notifyDeviceClosed(b);
    const WaveContents w = r.finish();
    ASSERT_TRUE(w.valid);
    ASSERT_EQ(w.samples.size(), std::size_t(8820 * 2));
    for (std::size_t i = 0; i < w.samples.size(); i += 2) {
        ASSERT_EQ(w.samples[i], 32767) << "left of frame " << i / 2;
        ASSERT_EQ(w.samples[i + 1], 0) << "right of frame " << i / 2;
    }
}

// A 44100 Hz stereo output into a 22050 Hz mono file gives every second frame's left sample,
// with no frame gained or lost across buffers.
TEST(SoundCaptureTest, ResamplesToAMonoFileOfHalfTheRate) {
    Recorder r(22050, 1);
    const audio::AudioHandle a = audio::nextAudioHandle();
    audio::notifyDeviceOpened(a, formatOf(44100, 2));
    ASSERT_TRUE(r.capture.start());
    // 100 ms in buffers of 882 frames (an odd number of output frames each would be 441):
    // left counts the source frames, right is their negation.
    std::vector<int16_t> ramp;
    for (int i = 0; i < 4410; ++i) {
        ramp.push_back(int16_t(i));
        ramp.push_back(int16_t(-i));
    }
    for (std::size_t at = 0; at < ramp.size(); at += 882 * 2)
        audio::notifyBufferWritten(
            a, std::span<const int16_t>(ramp).subspan(at, std::min<std::size_t>(882 * 2, ramp.size() - at)));
    r.run(100);
    audio::notifyDeviceClosed(a);
    const WaveContents w = r.finish();
    ASSERT_EQ(w.samples.size(), 2205u);
    for (std::size_t j = 0; j < w.samples.size(); ++j)
        ASSERT_EQ(w.samples[j], int16_t(2 * j)) << "sample " << j;
}

// The file goes no further than the slowest output that writes; an output far ahead of
// the file loses only what does not fit, and the file still keeps real time.
TEST(SoundCaptureTest, TheSlowestWriterPacesTheFileAndALeadIsBounded) {
    Recorder r(44100, 2);
    const audio::AudioHandle slow = audio::nextAudioHandle();
    const audio::AudioHandle fast = audio::nextAudioHandle();
    audio::notifyDeviceOpened(slow, formatOf(44100, 2));
    audio::notifyDeviceOpened(fast, formatOf(44100, 2));
    ASSERT_TRUE(r.capture.start());
    audio::notifyBufferWritten(slow, level(2205, 2, 1000, 1000)); // 50 ms
    audio::notifyBufferWritten(fast, level(44100 * 5, 2, 7, 7));  // 5 s at once
    r.run(100);
    EXPECT_EQ(r.capture.framesWritten(), 2205u);
    audio::notifyDeviceClosed(slow);
    r.run(1000);
    // Once the slow output is gone the file catches up to real time, its clock's lead
    // bounded; what the fast output sent past the buffer was dropped.
    EXPECT_GE(r.capture.writtenMs(), 1050.0);
    EXPECT_LE(r.capture.writtenMs(), 1100.0);
    const WaveContents w = r.finish();
    ASSERT_GT(w.samples.size(), 4410u);
    EXPECT_EQ(w.samples[0], 1007);
    EXPECT_EQ(w.samples[4410], 7);
}

// Paused time is not recorded and what is written meanwhile is ignored; stop writes the time
// since the last step and completes the file.
TEST(SoundCaptureTest, PauseLeavesOutItsTimeAndStopEndsOnTime) {
    Recorder r(44100, 2);
    const audio::AudioHandle a = audio::nextAudioHandle();
    audio::notifyDeviceOpened(a, formatOf(44100, 2));
    ASSERT_TRUE(r.capture.start());
    r.run(300);
    r.capture.pause();
    audio::notifyBufferWritten(a, level(4410, 2, 5000, 5000));
    r.clock.advance(5s);
    r.capture.advanceTo(r.clock.now());
    EXPECT_DOUBLE_EQ(r.capture.writtenMs(), 300.0);
    EXPECT_DOUBLE_EQ(r.capture.soundMs(), 300.0);
    r.capture.resume();
    r.run(200);
    r.clock.advance(50ms);
    EXPECT_DOUBLE_EQ(r.capture.soundMs(), 550.0);
    audio::notifyDeviceClosed(a);
    const WaveContents w = r.finish();
    ASSERT_TRUE(w.valid);
    EXPECT_TRUE(w.sizesMatch);
    EXPECT_DOUBLE_EQ(w.seconds(), 0.55);
    for (int16_t s : w.samples)
        ASSERT_EQ(s, 0);
}

// Once the capture is gone the outputs reach nothing: its hook was removed first.
TEST(SoundCaptureTest, OutputsOutliveTheCapture) {
    const audio::AudioHandle a = audio::nextAudioHandle();
    {
        Recorder r(44100, 2);
        audio::notifyDeviceOpened(a, formatOf(44100, 2));
        ASSERT_TRUE(r.capture.start());
        r.run(100);
    }
    audio::notifyBufferWritten(a, level(882, 2, 1, 1));
    audio::notifyDeviceClosed(a);
}

} // namespace
} // namespace swivio::testkit
