// The interactive recording in real time: a 640 x 480 movie at 30 frames a second with a
// tone, played by the calling thread through the silent audio device while the pacer and
// the sound capture record it. Reports what a window's recording would get: pictures, the
// WAV's length, repeats and held-back ticks, and the longest wait of the driving thread
// for the player's mutex. SWIVIO_RECORD_SECONDS sets the length (default 3; 30 for the
// full check).
#include <cstdio>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "audio/audio_output.h"
#include "audio/null_audio_device.h"
#include "capture/interactive_recording.h"
#include "capture/real_time_player.h"
#include "encode/conversion_driver.h"
#include "settings/settings_rules.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"
#include "tests/support/swf_sounds.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

using namespace swivio::testkit;

constexpr int kWidth = 640, kHeight = 480, kRate = 30, kLoopFrames = 60;

// Two seconds that loop: twenty squares crossing the stage and a tone from the first frame.
std::string writeMovie(const TempDir& dir) {
    SwfWriter w;
    w.xMax = kWidth * 20;
    w.yMax = kHeight * 20;
    w.frameRate88 = kRate << 8;
    w.frameCount = kLoopFrames;
    const std::vector<int16_t> tone = sineSamples(44100, 2, 44100 * 2, 440);
    w.tag(14, defineSoundBody(1, 3, 44100, true, true, uint32_t(tone.size() / 2),
                              littleEndianBytes(tone)));
    for (int i = 0; i < 20; ++i)
        w.tag(TagCode::DefineShape3, rectangleShape(uint16_t(10 + i), 0, 0, 1200, 1200,
                                                    uint8_t(40 + 10 * i), uint8_t(200 - 8 * i),
                                                    uint8_t(100 + 5 * i)));
    for (int f = 0; f < kLoopFrames; ++f) {
        if (f == 0)
            w.tag(15, startSoundBody(1));
        for (int i = 0; i < 20; ++i) {
            Place p = Place().at(uint16_t(1 + i)).translate((f * 10 + i * 30) % 580 * 20,
                                                            (i * 22 + f * 3) % 420 * 20);
            if (f == 0)
                p.of(uint16_t(10 + i));
            else
                p.moving();
            place(w, p);
        }
        w.showFrame();
    }
    w.end();
    const std::string path = dir.file("bench.swf");
    if (!w.writeFile(path))
        std::abort();
    return path;
}

// The recorded WAV's length, and where the tone (started on the first frame, when the
// first picture was taken) begins in it.
struct WaveFacts {
    double seconds = 0;
    double firstLoudMs = -1;
};

WaveFacts waveFacts(const std::string& path) {
    WaveFacts facts;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return facts;
    uint8_t header[44];
    if (std::fread(header, 1, 44, f) == 44) {
        const int channels = header[22];
        const int rate = header[24] | header[25] << 8 | header[26] << 16;
        int16_t sample[2];
        int64_t frame = 0;
        while (channels > 0 && std::fread(sample, 2, std::size_t(channels), f) == std::size_t(channels)) {
            if (facts.firstLoudMs < 0 && std::abs(sample[0]) > 1000)
                facts.firstLoudMs = double(frame) * 1000 / rate;
            ++frame;
        }
        facts.seconds = rate > 0 ? double(frame) / rate : 0;
    }
    std::fclose(f);
    return facts;
}

double recordSeconds() {
    const char* text = std::getenv("SWIVIO_RECORD_SECONDS");
    const double seconds = text ? std::atof(text) : 3.0;
    return seconds > 0 ? seconds : 3.0;
}

void BM_InteractiveRecording(benchmark::State& state) {
    TempDir dir;
    const std::string movie = writeMovie(dir);
    ConversionSettings settings;
    MovieProperties props;
    props.width = kWidth;
    props.height = kHeight;
    props.frameRate = kRate;
    props.length = kLoopFrames;
    resetForMovie(settings, movie, props);
    settings.conversionMode = ConversionMode::Interactive;
    settings.convertType = OutputType::Avi;
    settings.aviFrameRate = kRate;
    settings.audioSource = AudioSource::RecordFromMovie;
    settings.tempPathIndex = 1;
    settings.tempPath = dir.path().string();
    settings.outputFile = dir.file("out.avi");
    const double seconds = recordSeconds();
    for (auto _ : state) {
        InteractiveRecording recording(settings);
        audio::AudioOutput output(std::make_unique<audio::NullAudioDevice>());
        if (!recording.open() || (output.open(), !recording.start())) {
            state.SkipWithError("the recording did not start");
            return;
        }
        RealTimePlayStats played;
        playInRealTime(recording, output, seconds, {}, {}, &played);
        Result<ConversionJob> job = recording.finish();
        output.close();
        if (!job) {
            state.SkipWithError(job.message().c_str());
            return;
        }
        const InteractiveStats stats = recording.stats();
        state.counters["seconds"] = seconds;
        state.counters["records"] = stats.recordCount;
        state.counters["pictures"] = stats.pictures;
        state.counters["repeats"] = stats.repeatedTicks;
        state.counters["held_back"] = stats.heldBackTicks;
        state.counters["wav_s"] = stats.soundSeconds;
        state.counters["late_ticks"] = double(played.lateTicks);
        state.counters["lock_wait_max_ms"] = played.longestLockWaitMs;
        state.counters["lock_waits_over_20ms"] = double(played.longLockWaits);
        const WaveFacts wave = waveFacts(job->audioPath);
        state.counters["wav_s"] = wave.seconds;
        state.counters["tone_at_ms"] = wave.firstLoudMs;
        std::fprintf(stderr,
                     "records %d (pictures %d, repeats %d, held back %d), WAV %.4f s, tone "
                     "from %.1f ms, longest lock wait %.3f ms (%lld over 20 ms), late ticks "
                     "%lld\n",
                     stats.recordCount, stats.pictures, stats.repeatedTicks, stats.heldBackTicks,
                     wave.seconds, wave.firstLoudMs, played.longestLockWaitMs,
                     static_cast<long long>(played.longLockWaits),
                     static_cast<long long>(played.lateTicks));
        removeTemporaryFiles(*job);
    }
}

BENCHMARK(BM_InteractiveRecording)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace swivio
