#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "capture/frame_store_reader.h"
#include "capture/recording_session.h"
#include "cli/commands.h"
#include "cli/convert_options.h"
#include "cli/progress_bar.h"
#include "encode/avi/video_compressor_list.h"
#include "encode/conversion_driver.h"
#include "settings/settings_rules.h"
#include "source/player_host.h"

namespace swivio::cli {

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) { g_interrupted.store(true); }

// Ctrl-C asks the running phase to stop; the handler is restored when the command ends.
class InterruptGuard {
public:
    InterruptGuard() {
        g_interrupted.store(false);
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previousInt);
        sigaction(SIGTERM, &action, &m_previousTerm);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &m_previousInt, nullptr);
        sigaction(SIGTERM, &m_previousTerm, nullptr);
    }

private:
    struct sigaction m_previousInt = {};
    struct sigaction m_previousTerm = {};
};

int listCodecs() {
    for (const auto& c : videoCompressors())
        std::printf("%-6s %s\n", c.fourCC ? fourCcText(c.fourCC).c_str() : "0", c.name.c_str());
    return 0;
}

// What the conversion wrote, for the closing line.
void printOutputs(const ConversionSettings& s, int framesWritten) {
    if (s.convertType == OutputType::ImageSeries)
        std::printf("Wrote %d frames into %s\n", framesWritten, s.outputFolder.c_str());
    else
        std::printf("Wrote %s (%d frames)\n", s.outputFile.c_str(), framesWritten);
}

} // namespace

int runConvert(int argc, char** argv) {
    auto parsed = parseConvertOptions(argc, argv);
    if (!parsed) {
        std::fprintf(stderr, "swivio-cli convert: %s\n", parsed.message().c_str());
        return 1;
    }
    const ConvertOptions& options = parsed.value();
    if (options.help) {
        std::fputs(convertUsage(), stdout);
        return 0;
    }
    if (options.listCodecs)
        return listCodecs();

    // Open the movie once to learn its properties, as the main window does.
    PlayerHost probe;
    if (!probe.load(options.movie)) {
        std::fprintf(stderr, "%s\n", kInvalidMovieMessage);
        if (!probe.errorString().empty() && probe.errorString() != kInvalidMovieMessage)
            std::fprintf(stderr, "  %s\n", probe.errorString().c_str());
        return 1;
    }
    ConversionSettings settings;
    MovieProperties movie;
    movie.isFlv = probe.isFlv();
    movie.width = probe.movieWidth();
    movie.height = probe.movieHeight();
    movie.frameRate = probe.movieFrameRate();
    movie.length = probe.movieLength();
    resetForMovie(settings, options.movie, movie);
    if (Status applied = applyConvertOptions(options, settings); !applied) {
        std::fprintf(stderr, "swivio-cli convert: %s\n", applied.message().c_str());
        return 1;
    }

    InterruptGuard interrupts;

    // Recording: every movie frame into the frame store.
    RecordingSession recording(settings);
    if (!recording.open()) {
        std::fprintf(stderr, "swivio-cli convert: %s\n", recording.errorString().c_str());
        return 1;
    }
    {
        ProgressBar bar("Recording");
        recording.setProgressCallback([&](const RecordingProgress& p) {
            bar.update(p.frameIndex, p.frameCount);
            return !g_interrupted.load();
        });
        const bool recorded = recording.runFrameByFrame();
        bar.update(recording.recordCount(), settings.movieLength);
        bar.finish();
        const bool closed = recording.finish();
        if (!recorded || !closed || g_interrupted.load()) {
            recording.discardFrames();
            if (g_interrupted.load()) {
                std::fprintf(stderr, "swivio-cli convert: cancelled while recording; nothing "
                                     "was written.\n");
                return 130;
            }
            std::fprintf(stderr, "swivio-cli convert: recording failed: %s\n",
                         recording.errorString().c_str());
            return 1;
        }
    }

    // Encoding: the recorded frames into the output.
    ConversionJob job = recording.makeJob();
    FrameStoreReader frames(job.frameFiles, job.geometry.outputWidth, job.geometry.outputHeight);
    ConversionDriver driver(job);
    ProgressBar bar("Encoding");
    driver.setProgressCallback([&](const ConversionProgress& p) {
        bar.update(p.frameIndex + 1, p.outputFrameCount);
        return !g_interrupted.load();
    });
    if (g_interrupted.load())
        driver.requestCancel();
    const ConversionResult result = driver.run(frames);
    bar.finish();
    switch (result.outcome) {
    case ConversionResult::Outcome::Completed:
        printOutputs(settings, result.framesWritten);
        return 0;
    case ConversionResult::Outcome::Cancelled:
        std::fprintf(stderr, "swivio-cli convert: cancelled; %d frames were written.\n",
                     result.framesWritten);
        return 130;
    case ConversionResult::Outcome::Failed:
        break;
    }
    std::fprintf(stderr, "swivio-cli convert: %s\n", result.message.c_str());
    return 1;
}

} // namespace swivio::cli
