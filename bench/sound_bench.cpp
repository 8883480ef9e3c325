// The movie's sound: mixing a movie with an MP3 stream and eight overlapping event sounds
// (decoding included), and a frame-by-frame conversion with its sound beside the same
// conversion without.
#include <benchmark/benchmark.h>

#include "capture/conversion_task.h"
#include "settings/settings_rules.h"
#include "source/movie_source.h"
#include "swf/movie_player.h"
#include "swf/sound/mp3_frames.h"
#include "tests/support/sound_files.h"
#include "tests/support/swf_sounds.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

constexpr int kFrames = 240; // ten seconds at 24 frames a second

// 44.1 kHz stereo MP3 stream blocks, each frame's share of whole MP3 frames, and eight
// event sounds (PCM and ADPCM, 2 s each, looped) started a frame apart.
std::vector<uint8_t> soundMovie() {
    using namespace testkit;
    SwfWriter w;
    w.frameRate88 = 24 << 8;
    w.frameCount = kFrames;
    w.xMax = 320 * 20;
    w.yMax = 240 * 20;
    w.backgroundColor(40, 80, 120);
    w.tag(18, soundStreamHeadBody(2, 44100, true, true, 1837));
    const std::vector<uint8_t> mp3 = makeMp3(44100, 2, 128, kFrames / 24.0 + 0.5);
    std::vector<std::vector<uint8_t>> mp3Frames;
    for (std::size_t at = 0; at + 4 <= mp3.size();) {
        auto header = swf::sound::readMp3FrameHeader(std::span(mp3).subspan(at));
        if (!header)
            break;
        mp3Frames.emplace_back(mp3.begin() + long(at), mp3.begin() + long(std::min(mp3.size(), at + header->frameBytes)));
        at += header->frameBytes;
    }
    for (uint16_t id = 1; id <= 8; ++id) {
        const auto tone = sineSamples(22050, 1, 44100, 200.0 * id);
        const bool adpcm = id % 2;
        w.tag(14, defineSoundBody(id, adpcm ? 1 : 3, 22050, true, false, 44100,
                                  adpcm ? encodeSwfAdpcm(tone, 1, 4) : littleEndianBytes(tone)));
    }
    std::size_t next = 0;
    for (int f = 0; f < kFrames; ++f) {
        if (f < 8) {
            SoundInfoSpec info;
            info.loops = 5;
            w.tag(15, startSoundBody(uint16_t(f + 1), info));
        }
        // MP3 frames due by the end of this frame: 1152 samples each.
        const std::size_t due = std::min(mp3Frames.size(), std::size_t((f + 1) * 1837.5 / 1152) + 1);
        SwfBits block;
        block.u16(uint16_t((due - next) * 1152)).s16(0);
        for (; next < due; ++next)
            block.bytes(mp3Frames[next]);
        w.tag(19, block.data());
        w.showFrame();
    }
    w.end();
    return w.build();
}

void BM_MixMovieSound(benchmark::State& state) {
    auto movie = swf::Movie::load(soundMovie());
    if (!movie) {
        state.SkipWithError("the movie does not load");
        return;
    }
    for (auto _ : state) {
        swf::MoviePlayer player(*movie);
        for (int f = 0; f < kFrames; ++f) {
            if (f > 0)
                player.advance();
            benchmark::DoNotOptimize(player.takeFrameSound());
        }
    }
    // Seconds of sound made per second of work: how many times real time.
    state.counters["x_real_time"] =
        benchmark::Counter(double(state.iterations()) * kFrames / 24.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MixMovieSound)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->MinTime(2.0);

// A frame-by-frame conversion into a PCM AVI (uncompressed video), with the movie's sound
// (range 1) or without it (range 0).
void BM_ConversionSound(benchmark::State& state) {
    testkit::TempDir dir;
    const std::string path = dir.file("sound.swf");
    testkit::writeBytes(path, soundMovie());
    ConversionSettings s;
    MovieProperties props;
    props.width = 320;
    props.height = 240;
    props.frameRate = 24;
    props.length = kFrames;
    resetForMovie(s, path, props);
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = state.range(0) ? AudioSource::RecordFromMovie : AudioSource::None;
    s.aviAudioFormat = 1; // PCM
    s.outputFile = dir.file("sound.avi");
    s.tempPath = dir.path().string();
    for (auto _ : state) {
        auto source = openMovieSource(path);
        if (!source) {
            state.SkipWithError("the movie does not open");
            return;
        }
        ConversionTask task(s, std::move(*source));
        task.setOverwriteAllowed(true);
        if (task.run().outcome != ConversionResult::Outcome::Completed) {
            state.SkipWithError("the conversion failed");
            return;
        }
    }
}
BENCHMARK(BM_ConversionSound)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->MinTime(2.0);

} // namespace
} // namespace swivio
