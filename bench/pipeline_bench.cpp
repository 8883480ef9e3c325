// Recording and encoding at once: the whole frame-by-frame conversion of the demo movie
// (recording on the calling thread, encoding on its own), the same conversion in two phases,
// and the encoder alone on the same frames already rendered into memory, by wall clock.
// Cases: a 640 x 480 MJPEG AVI and a 1280 x 720 H.264 MP4. The machine's load average is
// reported beside each figure, since the wall clock depends on what else runs.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include <benchmark/benchmark.h>

#include "capture/conversion_task.h"
#include "capture/frame_store_reader.h"
#include "capture/recording_session.h"
#include "encode/avi/video_compressor_list.h"
#include "encode/media_log.h"
#include "encode/output_writer.h"
#include "settings/settings_rules.h"
#include "tests/support/demo_movie.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

constexpr uint32_t kMjpg = 'M' | ('J' << 8) | ('P' << 16) | ('G' << 24);

enum Case { kMjpeg640 = 0, kH264720 = 1 };

ConversionSettings caseSettings(Case c, const testkit::TempDir& dir, const std::string& movie) {
    ConversionSettings s;
    MovieProperties props;
    props.width = 550;
    props.height = 400;
    props.frameRate = 24;
    props.length = testkit::kDemoFrames;
    resetForMovie(s, movie, props);
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::None;
    s.tempPathIndex = 1;
    s.tempPath = dir.path().string();
    if (c == kMjpeg640) {
        s.convertType = OutputType::Avi;
        s.aviFourCC = kMjpg;
        s.aviKeepOriginalSize = false;
        s.aviWidth = 640;
        s.aviHeight = 480;
        s.outputFile = dir.file("out.avi");
    } else {
        s.convertType = OutputType::VideoFile;
        s.videoContainer = VideoContainer::Mp4;
        s.videoCodec = VideoCodec::H264;
        s.videoFrameSize = VideoFrameSize::Hd720;
        s.outputFile = dir.file("out.mp4");
    }
    applySettingsRules(s);
    return s;
}

double cpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double loadAverage() {
    double load = 0;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = 0;
        std::fclose(f);
    }
    return load;
}

// The demo movie in a folder of its own, its settings for a case, and its frames rendered
// once into memory for the encoder-alone runs.
struct Demo {
    explicit Demo(Case c) {
        quietMediaLibraryLogs();
        (void)videoCompressors(); // probed once, outside every timed loop
        const std::string movie = dir.file("demo.swf");
        if (!testkit::writeBytes(movie, testkit::demoMovie(testkit::kDemoFrames)))
            return;
        settings = caseSettings(c, dir, movie);
        RecordingSession recording(settings);
        if (!recording.open() || !recording.runFrameByFrame() || !recording.finish())
            return;
        job = recording.makeJob();
        FrameStoreReader reader(recording.fileList(), job.geometry.outputWidth,
                                job.geometry.outputHeight);
        Frame frame;
        while (reader.advance() && reader.decodeInto(frame))
            pictures.push_back(frame);
        recording.discardFrames();
        job.frameFiles.clear();
    }
    testkit::TempDir dir;
    ConversionSettings settings;
    ConversionJob job;
    std::vector<Frame> pictures;
};

void finishCounters(benchmark::State& state, int frames) {
    state.counters["fps"] =
        benchmark::Counter(double(frames), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["load"] = loadAverage();
}

void BM_EncoderAlone(benchmark::State& state) {
    Demo demo(Case(state.range(0)));
    if (demo.pictures.empty()) {
        state.SkipWithError("recording failed");
        return;
    }
    for (auto _ : state) {
        auto opened = openOutputWriter(demo.job);
        if (!opened || !*opened) {
            state.SkipWithError("the writer did not open");
            return;
        }
        for (std::size_t i = 0; i < demo.pictures.size(); ++i)
            (*opened)->writeFrame(demo.pictures[i], int(i));
        if (!(*opened)->finish())
            state.SkipWithError("the writer did not finish");
    }
    finishCounters(state, int(demo.pictures.size()));
}

void runTask(benchmark::State& state, bool atOnce) {
    Demo demo(Case(state.range(0)));
    if (demo.pictures.empty()) {
        state.SkipWithError("recording failed");
        return;
    }
    double threadCpu = 0;
    double processCpu = 0;
    for (auto _ : state) {
        const double threadStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double processStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        auto source = openMovieSource(demo.settings.sourcePath);
        if (!source) {
            state.SkipWithError("the movie did not open");
            return;
        }
        ConversionTask task(demo.settings, std::move(*source));
        task.setOverwriteAllowed(true);
        task.setRecordWhileEncoding(atOnce);
        const TaskResult result = task.run();
        if (result.outcome != ConversionResult::Outcome::Completed) {
            state.SkipWithError(result.message.c_str());
            return;
        }
        threadCpu += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadStart;
        processCpu += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
    }
    // The calling thread records; the rest of the process's time is the encoding's. On an
    // idle machine the longer of the two is the wall clock.
    const double runs = double(std::max<int64_t>(state.iterations(), 1));
    state.counters["recording_cpu_ms"] = 1000 * threadCpu / runs;
    state.counters["encoding_cpu_ms"] = 1000 * (processCpu - threadCpu) / runs;
    finishCounters(state, int(demo.pictures.size()));
}

void BM_RecordWhileEncoding(benchmark::State& state) {
    runTask(state, true);
}
void BM_TwoPhases(benchmark::State& state) {
    runTask(state, false);
}

// Arg 0: 640 x 480 MJPEG AVI; arg 1: 1280 x 720 H.264 MP4. Time is the wall clock, CPU the
// whole process (both threads), a few runs each.
BENCHMARK(BM_EncoderAlone)
    ->Arg(kMjpeg640)
    ->Arg(kH264720)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(3.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordWhileEncoding)
    ->Arg(kMjpeg640)
    ->Arg(kH264720)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(3.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoPhases)
    ->Arg(kMjpeg640)
    ->Arg(kH264720)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->MinTime(3.0)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace swivio
