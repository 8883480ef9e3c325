// The sound capture: what the audio outputs play, mixed into a WAV at real-time pace.
#include <gtest/gtest.h>

#include <algorithm>
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
    audio::notifySoundQueued(a, level(8820, 2, 20000, -20000));
    audio::notifySoundQueued(b, level(4410, 1, 20000, 0));
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
        audio::notifySoundQueued(a, std::span<const int16_t>(ramp).subspan(
                                        at, std::min<std::size_t>(882 * 2, ramp.size() - at)));
    r.run(100);
    audio::notifyDeviceClosed(a);
    const WaveContents w = r.finish();
    ASSERT_EQ(w.samples.size(), 2205u);
    for (std::size_t j = 0; j < w.samples.size(); ++j)
        ASSERT_EQ(w.samples[j], int16_t(2 * j)) << "sample " << j;
}

// The file goes no further than a writing output that is a little late; an output far ahead
// of the file loses only what does not fit, and the file still keeps real time.
TEST(SoundCaptureTest, TheSlowestWriterPacesTheFileAndALeadIsBounded) {
    Recorder r(44100, 2);
    const audio::AudioHandle slow = audio::nextAudioHandle();
    const audio::AudioHandle fast = audio::nextAudioHandle();
    audio::notifyDeviceOpened(slow, formatOf(44100, 2));
    audio::notifyDeviceOpened(fast, formatOf(44100, 2));
    ASSERT_TRUE(r.capture.start());
    audio::notifySoundQueued(slow, level(3087, 2, 1000, 1000)); // 70 ms
    audio::notifySoundQueued(fast, level(44100 * 5, 2, 7, 7));  // 5 s at once
    r.run(100);
    EXPECT_EQ(r.capture.framesWritten(), 3087u);
    audio::notifyDeviceClosed(slow);
    r.run(1000);
    // Once the slow output is gone the file catches up to real time, its clock's lead
    // bounded; what the fast output sent past the buffer was dropped.
    EXPECT_GE(r.capture.writtenMs(), 1050.0);
    EXPECT_LE(r.capture.writtenMs(), 1100.0);
    const WaveContents w = r.finish();
    ASSERT_GT(w.samples.size(), 2 * 3087u);
    EXPECT_EQ(w.samples[0], 1007);
    EXPECT_EQ(w.samples[2 * 3087], 7);
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
    audio::notifySoundQueued(a, level(4410, 2, 5000, 5000));
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

// One output handing over sound of a level for a while, at a moment of the test's clock
// (paused time included).
struct Handover {
    int atMs;
    int ms;
    int16_t level;
};

// A stretch of the file's time that holds one level throughout.
struct Stretch {
    int fromMs;
    int toMs;
    int16_t level;
};

struct PlacementCase {
    const char* name;
    std::vector<Handover> handovers;
    int endMs;
    std::vector<Stretch> file;
    int pauseMs = -1; // -1: no pause
    int resumeMs = -1;
};

void PrintTo(const PlacementCase& c, std::ostream* os) {
    *os << c.name;
}

class SoundPlacement : public testing::TestWithParam<PlacementCase> {};

// Sound goes at the file's time of the moment it is handed over, and an output's next sound
// follows on from its last, unless it stopped writing in between.
TEST_P(SoundPlacement, SoundLandsAtItsTimeInTheFile) {
    const PlacementCase& c = GetParam();
    Recorder r(44100, 2);
    const audio::AudioHandle a = audio::nextAudioHandle();
    audio::notifyDeviceOpened(a, formatOf(44100, 2));
    ASSERT_TRUE(r.capture.start());
    std::size_t next = 0;
    for (int t = 0;; t += 10) {
        if (t == c.pauseMs)
            r.capture.pause();
        if (t == c.resumeMs)
            r.capture.resume();
        for (; next < c.handovers.size() && c.handovers[next].atMs == t; ++next) {
            const Handover& h = c.handovers[next];
            audio::notifySoundQueued(a, level(h.ms * 441 / 10, 2, h.level, h.level));
        }
        if (t == c.endMs)
            break;
        r.clock.advance(10ms);
        r.capture.advanceTo(r.clock.now());
    }
    audio::notifyDeviceClosed(a);
    const WaveContents w = r.finish();
    ASSERT_TRUE(w.valid);
    ASSERT_DOUBLE_EQ(w.seconds(), (c.endMs - std::max(c.resumeMs - c.pauseMs, 0)) / 1000.0);
    for (const Stretch& s : c.file)
        for (int frame = s.fromMs * 441 / 10; frame < s.toMs * 441 / 10; ++frame)
            ASSERT_EQ(w.samples[std::size_t(frame) * 2], s.level) << "at frame " << frame;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SoundPlacement,
    testing::Values(
        PlacementCase{"first sound at its moment",
                      {{130, 100, 1000}},
                      400,
                      {{0, 130, 0}, {130, 230, 1000}, {230, 400, 0}}},
        // 40 ms frames handed over 10 ms late, then 10 ms early, then one 30 ms late
        // after a writer step that had to wait for it.
        PlacementCase{
            "frames follow on through jitter",
            {{0, 40, 1000}, {50, 40, 2000}, {70, 20, 3000}, {130, 100, 4000}},
            300,
            {{0, 40, 1000}, {40, 80, 2000}, {80, 100, 3000}, {100, 200, 4000}, {200, 300, 0}}},
        PlacementCase{"after a gap sound starts again at its moment",
                      {{0, 100, 1000}, {300, 100, 2000}},
                      500,
                      {{0, 100, 1000}, {100, 300, 0}, {300, 400, 2000}, {400, 500, 0}}},
        // What was handed over for the paused time is not in the file.
        PlacementCase{"a pause drops the sound meant for its time",
                      {{0, 300, 1000}, {1100, 100, 2000}},
                      1300,
                      {{0, 100, 1000}, {100, 200, 2000}, {200, 300, 0}},
                      100,
                      1100}),
    [](const testing::TestParamInfo<PlacementCase>& param) {
        std::string name = param.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

// Once the capture is gone the outputs reach nothing: its hook was removed first.
TEST(SoundCaptureTest, OutputsOutliveTheCapture) {
    const audio::AudioHandle a = audio::nextAudioHandle();
    {
        Recorder r(44100, 2);
        audio::notifyDeviceOpened(a, formatOf(44100, 2));
        ASSERT_TRUE(r.capture.start());
        r.run(100);
    }
    audio::notifySoundQueued(a, level(882, 2, 1, 1));
    audio::notifyDeviceClosed(a);
}

} // namespace
} // namespace swivio::testkit
