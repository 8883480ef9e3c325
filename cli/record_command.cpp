// swivio-cli record: the interactive recording without a window. The movie plays in real
// time on this thread, its sound goes to an audio output on the silent device (which the
// sound capture hears), scripted clicks arrive at their wall-clock times, and what was
// recorded is encoded as convert encodes.
#include <cmath>
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
#include "cli/conversion_front.h"
#include "cli/convert_options.h"
#include "cli/progress_bar.h"
#include "cli/record_options.h"

namespace swivio::cli {

namespace {

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

    auto prepared = prepareConversion(options, "record", ConversionMode::Interactive);
    if (!prepared)
        return fail(prepared.message());
    PreparedConversion& p = *prepared;
    const ConversionSettings& settings = p.settings;

    InterruptGuard interrupts;
    std::optional<ConversionJob> job;
    {
        InteractiveRecording recording(settings, std::move(p.source));
        if (Status opened = recording.open(); !opened)
            return fail(opened.message());
        // The output opens after the capture exists, so the capture hears it.
        audio::AudioOutput output(std::make_unique<audio::NullAudioDevice>());
        output.open();
        if (Status started = recording.start(); !started)
            return fail(started.message());
        ProgressBar bar("Recording");
        const int total = int(std::ceil(args.seconds * 10));
        const bool played =
            playInRealTime(recording, output, args.seconds, args.clicks, [&](double elapsed) {
                bar.update(std::min(int(elapsed * 10), total), total);
                return !InterruptGuard::interrupted();
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
                     stats.recordCount, stats.pictures, stats.repeatedTicks, stats.heldBackTicks,
                     stats.soundSeconds);
        job = std::move(*finished);
    }

    ConversionTask task(settings, nullptr);
    task.setRecordedJob(std::move(*job));
    task.setOverwriteAllowed(p.overwrite);
    task.setWatermarkPicture(p.watermark);
    std::optional<ProgressBar> bar;
    task.setProgressCallback([&](const TaskProgress& progress) {
        if (!bar)
            bar.emplace("Encoding");
        bar->update(progress.index + 1, progress.count);
        return !InterruptGuard::interrupted();
    });
    const TaskResult result = task.run();
    if (bar)
        bar->finish();
    return reportConversion(result, settings, "record");
}

} // namespace swivio::cli
