// A 640 x 480 H.263 + MP3 FLV of 20 seconds converted to an MJPEG AVI with MP3 sound, by
// Swivio (in this process) and by the ffmpeg program (a child process) doing the same
// conversion at the same quantiser, in turns within each iteration so that a shared machine
// changing speed cannot skew their ratio. Times are processor seconds (every thread).
// Target: "ratio" (Swivio over ffmpeg) at most 1.2.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "capture/conversion_task.h"
#include "encode/avi/video_compressor_list.h"
#include "encode/media_log.h"
#include "settings/settings_rules.h"
#include "tests/support/temp_dir.h"

namespace swivio {
namespace {

constexpr uint32_t kMjpg = 'M' | ('J' << 8) | ('P' << 16) | ('G' << 24);
// The quantiser the AVI writer gives MJPEG when no quality is chosen.
constexpr const char* kMjpegQuantiser = "3";

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Runs the ffmpeg program with `args`; its processor seconds (user and system, every
// thread), or a negative number when it failed or is missing.
double runFfmpeg(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = "ffmpeg";
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // Spawned, not forked: a fork would charge the copy of this process's pages to the child.
    pid_t pid = -1;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The words of `text` (split at spaces), then `files`.
std::vector<std::string> words(const std::string& text, const std::vector<std::string>& files) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        out.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    out.insert(out.end(), files.begin(), files.end());
    return out;
}

// A moving test picture (so each frame costs its encoders real work) and a tone.
bool makeFlv(const std::string& path) {
    return runFfmpeg(words("-v error -y -f lavfi -i testsrc2=size=640x480:rate=25 -f lavfi -i "
                           "sine=frequency=440:sample_rate=44100 -t 20 -c:v flv -q:v 4 "
                           "-c:a libmp3lame -b:a 128k -ac 2",
                           {path})) >= 0;
}

std::vector<std::string> ffmpegConversion(const std::string& in, const std::string& out) {
    std::vector<std::string> args = words("-v error -y -i", {in});
    for (const std::string& word : words(std::string("-c:v mjpeg -q:v ") + kMjpegQuantiser +
                                             " -c:a libmp3lame -b:a 128k -ar 44100 -ac 2",
                                         {out}))
        args.push_back(word);
    return args;
}

// Converts as the front ends do, with the AVI settings' usual sound (MP3, 128 kbit/s,
// stereo, 44100 Hz); false on any failure.
bool convert(const std::string& in, const testkit::TempDir& dir) {
    auto source = openMovieSource(in);
    if (!source)
        return false;
    ConversionSettings s;
    resetForMovie(s, in, movieProperties(**source));
    s.audioSource = AudioSource::RecordFromMovie;
    s.aviFourCC = kMjpg;
    s.outputFile = dir.file("swivio.avi");
    s.tempPath = dir.path().string();
    applySettingsRules(s);
    ConversionTask task(s, std::move(*source));
    task.setOverwriteAllowed(true);
    return task.run().outcome == ConversionResult::Outcome::Completed;
}

void BM_FlvToMjpegAgainstFfmpeg(benchmark::State& state) {
    quietMediaLibraryLogs();
    testkit::TempDir dir;
    const std::string in = dir.file("in.flv");
    if (!makeFlv(in)) {
        state.SkipWithError("the ffmpeg program did not make the FLV");
        return;
    }
    (void)videoCompressors(); // probed once per process, not charged to a conversion
    double swivio = 0, ffmpeg = 0;
    for (auto _ : state) {
        const double t0 = processSeconds();
        const bool converted = convert(in, dir);
        const double t1 = processSeconds();
        const double theirs = runFfmpeg(ffmpegConversion(in, dir.file("ffmpeg.avi")));
        if (!converted || theirs < 0) {
            state.SkipWithError(converted ? "ffmpeg failed" : "the conversion failed");
            return;
        }
        swivio += t1 - t0;
        ffmpeg += theirs;
        state.SetIterationTime(t1 - t0 + theirs);
    }
    const double n = double(state.iterations());
    state.counters["swivio_cpu_ms"] = swivio * 1e3 / n;
    state.counters["ffmpeg_cpu_ms"] = ffmpeg * 1e3 / n;
    state.counters["ratio"] = ffmpeg > 0 ? swivio / ffmpeg : 0;
}
BENCHMARK(BM_FlvToMjpegAgainstFfmpeg)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

} // namespace
} // namespace swivio
