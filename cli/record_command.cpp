// swivio-cli record: the interactive recording without a window. The movie plays in real
// time on this thread, its sound goes to an audio output on the silent device (which the
// sound capture hears), scripted clicks arrive at their wall-clock times, and what was
// recorded is encoded as convert encodes.
#include <atomic>
#include <cmath>
#include <csignal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/audio_output.h"
#include "audio/null_audio_device.h"
#include "capture/conversion_task.h"
#include "capture/interactive_recording.h"
#include "capture/real_time_player.h"
#include "cli/commands.h"
#include "cli/convert_options.h"
#include "cli/progress_bar.h"
#include "cli/record_options.h"
#include "encode/image/picture_image.h"
#include "encode/output_checks.h"

namespace swivio::cli {

namespace {

std::atomic<bool> g_stop{false};

extern "C" void onRecordInterrupt(int) { g_stop.store(true); }

// Ctrl-C, SIGHUP and SIGTERM cancel the recording (its temporary files go) or the encoding;
// the previous handlers come back when the command ends.
class InterruptHandlers {
public:
    InterruptHandlers() {
        g_stop.store(false);
        struct sigaction action = {};
        action.sa_handler = onRecordInterrupt;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < 3; ++i)
            sigaction(kSignals[i], &action, &m_previous[i]);
    }
    ~InterruptHandlers() {
        for (std::size_t i = 0; i < 3; ++i)
            sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    InterruptHandlers(const InterruptHandlers&) = delete;
    InterruptHandlers& operator=(const InterruptHandlers&) = delete;

private:
    static constexpr int kSignals[3] = {SIGINT, SIGHUP, SIGTERM};
    struct sigaction m_previous[3] = {};
};

int fail(const std::string& message) {
    std::fprintf(stderr, "swivio-cli record: %s\n", message.c_str());
    return 1;
}

void warn(const std::string& message) {
    std::fprintf(stderr, "swivio-cli record: warning: %s\n", message.c_str());
}

} // namespace

int runRecord(int argc, char** argv) {
    auto split = parseRecordArguments(argc, argv);
    if (!split)
        return fail(split.message());
    RecordArguments& args = *split;
    auto parsed = parseConvertOptions(int(args.rest.size()), args.rest.data());
    if (!parsed)
        return fail(parsed.message());
    ConvertOptions& options = *parsed;
    if (options.help || args.help) {
        std::fputs(recordUsage(), stdout);
        return 0;
    }
    if (options.movie.empty())
        return fail("No movie given (see swivio-cli record --help).");
    if (!args.seconds)
        return fail("--seconds N says how long to record.");
    if (!options.scriptedInput.empty() || options.play || options.frameRange ||
        options.frameLimit || options.duration)
        return fail("record plays in real time: it takes --seconds and --click X,Y@SECONDS, "
                    "not --play, --frames, --duration or --key.");

    auto source = openMovieSource(options.movie);
    if (!source)
        return fail(source.message());
    ConversionSettings settings;
    resetForMovie(settings, options.movie, movieProperties(**source));
    options.movieHasSound = (*source)->hasSound();
    std::shared_ptr<PictureImage> watermark;
    const Status applied = applyConvertOptions(options, settings, watermark);
    if (!applied)
        return fail(applied.message());
    for (const std::string& w : applied.warnings())
        warn(w);
    settings.conversionMode = ConversionMode::Interactive;
    if (Status output = checkConversionOutput(settings, true); !output)
        return fail(output.message());
    bool overwrite = false;
    if (const std::string existing = existingOutputFile(settings); !existing.empty()) {
        if (Status allowed = allowOverwrite(existing, options.overwrite); !allowed)
            return fail(allowed.message());
        overwrite = true;
    }

    InterruptHandlers interrupts;
    std::optional<ConversionJob> job;
    {
        InteractiveRecording recording(settings, std::move(*source));
        if (Status opened = recording.open(); !opened)
            return fail(opened.message());
        // The output opens after the capture exists, so the capture hears it.
        audio::AudioOutput output(std::make_unique<audio::NullAudioDevice>());
        output.open();
        if (Status started = recording.start(); !started)
            return fail(started.message());
        ProgressBar bar("Recording");
        const int total = int(std::ceil(args.seconds * 10));
        const bool played = playInRealTime(
            recording, output, args.seconds, args.clicks, [&](double elapsed) {
                bar.update(std::min(int(elapsed * 10), total), total);
                return !g_stop.load();
            });
        bar.finish();
        if (!played) {
            recording.cancel();
            std::fputs("swivio-cli record: cancelled while recording; nothing was written.\n",
                       stderr);
            return 130;
        }
        Result<ConversionJob> finished = recording.finish();
        output.close();
        for (const std::string& w : recording.warnings())
            warn(w);
        if (!finished)
            return fail(finished.message());
        const InteractiveStats stats = recording.stats();
        std::fprintf(stderr,
                     "Recorded %d frames (%d pictures, %d repeats, %d held back), %.3f s of "
                     "sound\n",
                     stats.recordCount, stats.pictures, stats.repeatedTicks,
                     stats.heldBackTicks, stats.soundSeconds);
        job = std::move(*finished);
    }

    ConversionTask task(settings, nullptr);
    task.setRecordedJob(std::move(*job));
    task.setOverwriteAllowed(overwrite);
    task.setWatermarkPicture(watermark);
    std::optional<ProgressBar> bar;
    task.setProgressCallback([&](const TaskProgress& p) {
        if (!bar)
            bar.emplace("Encoding");
        bar->update(p.index + 1, p.count);
        return !g_stop.load();
    });
    const TaskResult result = task.run();
    if (bar)
        bar->finish();
    for (const std::string& w : result.warnings())
        warn(w);
    switch (result.outcome) {
    case ConversionResult::Outcome::Completed: {
        const std::string file = conversionOutputFile(settings);
        if (file.empty())
            std::printf("Wrote %d frames into %s\n", result.framesWritten,
                        settings.outputFolder.c_str());
        else
            std::printf("Wrote %s (%d frames)\n", file.c_str(), result.framesWritten);
        return 0;
    }
    case ConversionResult::Outcome::Cancelled:
        std::fprintf(stderr, "swivio-cli record: cancelled; %d frames were written.\n",
                     result.framesWritten);
        return 130;
    case ConversionResult::Outcome::Failed:
        break;
    }
    return fail(result.message);
}

} // namespace swivio::cli
