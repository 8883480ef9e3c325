// The whole conversion (recording the demo movie frame by frame, then encoding) beside the
// encoder alone on the same frames, and the peak memory of conversions of different
// lengths, each measured in a child process of its own.
#include <sys/resource.h>
#include <ctime>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "capture/conversion_task.h"
#include "capture/frame_store_reader.h"
#include "capture/recording_session.h"
#include "encode/avi/avi_frame_writer.h"
#include "encode/avi/video_compressor_list.h"
#include "encode/conversion_driver.h"
#include "encode/media_log.h"
#include "settings/settings_rules.h"
#include "tests/support/demo_movie.h"
#include "tests/support/swf_writer.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

constexpr uint32_t kMjpg = 'M' | ('J' << 8) | ('P' << 16) | ('G' << 24);

// Settings converting `movie` frame by frame into a 640 x 480 MJPEG AVI in `dir`.
ConversionSettings demoSettings(const std::string& movie, int frames, const testkit::TempDir& dir) {
    ConversionSettings s;
    MovieProperties props;
    props.width = 550;
    props.height = 400;
    props.frameRate = 24;
    props.length = frames;
    resetForMovie(s, movie, props);
    s.conversionMode = ConversionMode::FrameByFrame;
    s.audioSource = AudioSource::None;
    s.aviFourCC = kMjpg;
    s.aviKeepOriginalSize = false;
    s.aviWidth = 640;
    s.aviHeight = 480;
    s.outputFile = dir.file("demo.avi");
    s.tempPath = dir.path().string();
    return s;
}

std::string writeDemo(const testkit::TempDir& dir, int frames) {
    const std::string path = dir.file("demo.swf");
    if (!testkit::writeBytes(path, testkit::demoMovie(frames)))
        std::abort();
    return path;
}

// The compressor list is probed once per process (every encoder the media library has is
// opened once, about 60 ms). Both timed benchmarks probe before their loop, so that neither
// charges that one-time cost to the conversions it times.
void probeCompressorsOnce() {
    (void)videoCompressors();
}

// Opens the movie, records and encodes, as the front ends do; false on any failure.
bool convert(const ConversionSettings& settings) {
    auto source = openMovieSource(settings.sourcePath);
    if (!source)
        return false;
    ConversionTask task(settings, std::move(*source));
    task.setOverwriteAllowed(true); // each run replaces the previous run's output
    return task.run().outcome == ConversionResult::Outcome::Completed;
}

// Peak resident memory of a whole conversion of a movie `state.range(0)` times the demo's
// length, run in a child process so each length starts from nothing. Registered first: a
// child starts with its parent's resident pages, and the other benchmarks leave the parent
// holding freed memory the allocator keeps.
void BM_PeakMemory(benchmark::State& state) {
    const int frames = testkit::kDemoFrames * int(state.range(0));
    long peakKb = 0;
    for (auto _ : state) {
        const pid_t pid = fork();
        if (pid == 0) {
            quietMediaLibraryLogs();
            testkit::TempDir dir;
            const bool ok = convert(demoSettings(writeDemo(dir, frames), frames, dir));
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        rusage usage{};
        if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("conversion in the child process failed");
            return;
        }
        peakKb = usage.ru_maxrss;
    }
    state.counters["frames"] = frames;
    state.counters["peak_MiB"] = double(peakKb) / 1024.0;
}
BENCHMARK(BM_PeakMemory)->Arg(1)->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_WholeConversion(benchmark::State& state) {
    quietMediaLibraryLogs();
    testkit::TempDir dir;
    const int frames = testkit::kDemoFrames;
    const ConversionSettings settings = demoSettings(writeDemo(dir, frames), frames, dir);
    probeCompressorsOnce();
    for (auto _ : state)
        if (!convert(settings))
            state.SkipWithError("conversion failed");
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["fps"] =
        benchmark::Counter(double(frames), benchmark::Counter::kIsIterationInvariantRate);
}
// A few iterations each, so that one slow pass on a shared machine does not decide the ratio.
BENCHMARK(BM_WholeConversion)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->MinTime(2.0);

// The encoder alone: the same 640 x 480 frames, already in memory, into the AVI writer.
// The demo's frames recorded once and held in memory, as the encoder-alone runs feed them.
bool recordPictures(const ConversionSettings& settings, std::vector<Frame>* pictures) {
    RecordingSession recording(settings);
    if (!recording.open() || !recording.runFrameByFrame() || !recording.finish())
        return false;
    FrameStoreReader reader(recording.fileList(), 640, 480);
    Frame frame;
    while (reader.advance() && reader.decodeInto(frame))
        pictures->push_back(frame);
    recording.discardFrames();
    return !pictures->empty();
}

// Encodes the pictures into an MJPEG AVI; false on failure.
bool encodeAlone(const std::vector<Frame>& pictures, const std::string& path) {
    auto opened = openAviOutput(path, 640, 480, 24, kMjpg, {});
    if (!opened)
        return false;
    FrameWriter* writer = opened->get();
    for (std::size_t i = 0; i < pictures.size(); ++i)
        writer->writeFrame(pictures[i], int(i));
    writer->finish();
    return true;
}

// The demo written to a folder of its own, its conversion settings, and its frames recorded
// into memory for the encoder-alone runs; the compressor list probed.
struct RecordedDemo {
    RecordedDemo() : settings(demoSettings(writeDemo(dir, testkit::kDemoFrames),
                                           testkit::kDemoFrames, dir)) {
        quietMediaLibraryLogs();
        recorded = recordPictures(settings, &pictures);
        probeCompressorsOnce();
    }
    testkit::TempDir dir;
    ConversionSettings settings;
    std::vector<Frame> pictures;
    bool recorded = false;
};

void BM_EncoderAlone(benchmark::State& state) {
    RecordedDemo demo;
    if (!demo.recorded) {
        state.SkipWithError("recording failed");
        return;
    }
    const std::vector<Frame>& pictures = demo.pictures;
    for (auto _ : state) {
        if (!encodeAlone(pictures, demo.dir.file("alone.avi"))) {
            state.SkipWithError("the encoder did not open");
            return;
        }
    }
    state.counters["fps"] =
        benchmark::Counter(double(pictures.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EncoderAlone)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->MinTime(2.0);

// Recording alone: playing, painting and storing the demo's frames, nothing encoded.
void BM_RecordingAlone(benchmark::State& state) {
    testkit::TempDir dir;
    const int frames = testkit::kDemoFrames;
    const ConversionSettings settings = demoSettings(writeDemo(dir, frames), frames, dir);
    double stored = 0;
    for (auto _ : state) {
        RecordingSession recording(settings);
        if (!recording.open() || !recording.runFrameByFrame() || !recording.finish()) {
            state.SkipWithError("recording failed");
            return;
        }
        stored = 0;
        for (const auto& file : recording.fileList()) {
            std::error_code error;
            stored += double(std::filesystem::file_size(file, error));
        }
        recording.discardFrames();
    }
    state.counters["fps"] =
        benchmark::Counter(double(frames), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["stored_bytes_per_frame"] = stored / frames;
}
BENCHMARK(BM_RecordingAlone)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->MinTime(2.0);

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The two above in turns within each iteration, so that a shared machine changing speed
// between benchmarks cannot skew their ratio: "ratio" is the whole conversion's processor
// time over the encoder's.
void BM_WholeOverEncoder(benchmark::State& state) {
    RecordedDemo demo;
    if (!demo.recorded) {
        state.SkipWithError("recording failed");
        return;
    }
    double whole = 0, encoder = 0;
    for (auto _ : state) {
        const double t0 = processSeconds();
        const bool converted = convert(demo.settings);
        const double t1 = processSeconds();
        const bool encoded = encodeAlone(demo.pictures, demo.dir.file("alone.avi"));
        const double t2 = processSeconds();
        if (!converted || !encoded) {
            state.SkipWithError("conversion failed");
            return;
        }
        whole += t1 - t0;
        encoder += t2 - t1;
        state.SetIterationTime(t2 - t0);
    }
    state.counters["whole_ms"] = whole * 1e3 / double(state.iterations());
    state.counters["encoder_ms"] = encoder * 1e3 / double(state.iterations());
    state.counters["ratio"] = encoder > 0 ? whole / encoder : 0;
}
BENCHMARK(BM_WholeOverEncoder)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(4.0);


} // namespace
} // namespace swivio
