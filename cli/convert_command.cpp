#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "capture/conversion_task.h"
#include "cli/batch_convert.h"
#include "cli/commands.h"
#include "cli/convert_options.h"
#include "cli/progress_bar.h"
#include "encode/avi/video_compressor_list.h"
#include "encode/output_checks.h"
#include "encode/image/picture_image.h"

namespace swivio::cli {

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) { g_interrupted.store(true); }

// Ctrl-C, a closed terminal (SIGHUP) and SIGTERM all ask the running phase to stop, so the
// temporary frame files are deleted whichever ends the command; the handlers are restored
// when the command ends.
class InterruptGuard {
public:
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGHUP, SIGTERM};

    InterruptGuard() {
        g_interrupted.store(false);
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &action, &m_previous[i]);
    }
    ~InterruptGuard() {
        for (std::size_t i = 0; i < kSignals.size(); ++i)
            sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    std::array<struct sigaction, kSignals.size()> m_previous = {};
};

// One line per compressor: the FourCC and the name --codec takes, then what it offers.
int listCodecs() {
    for (const auto& c : videoCompressors()) {
        std::string notes;
        if (c.widthMultiple > 1 || c.heightMultiple > 1)
            notes += "  width a multiple of " + std::to_string(c.widthMultiple) +
                     ", height of " + std::to_string(c.heightMultiple);
        if (c.hasQuality)
            notes += notes.empty() ? "  --quality" : "; --quality";
        if (notes.empty())
            std::printf("%-6s %s\n", videoCompressorKey(c).c_str(), c.name.c_str());
        else
            std::printf("%-6s %-12s%s\n", videoCompressorKey(c).c_str(), c.name.c_str(),
                        notes.c_str());
    }
    return 0;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "swivio-cli convert: %s\n", message.c_str());
    return 1;
}

} // namespace

int runConvert(int argc, char** argv) {
    auto parsed = parseConvertOptions(argc, argv);
    if (!parsed)
        return fail(parsed.message());
    ConvertOptions& options = parsed.value();
    if (options.help) {
        std::fputs(convertUsage(), stdout);
        return 0;
    }
    if (options.listCodecs)
        return listCodecs();
    if (options.isBatch() || options.recursive || options.jobs || options.json || options.timeout)
        return runBatchConvert(options);

    // The movie is read and parsed once; its properties shape the settings.
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
    for (const std::string& warning : applied.warnings())
        std::fprintf(stderr, "swivio-cli convert: warning: %s\n", warning.c_str());

    // What refuses the output whatever the answer is checked before the question is asked;
    // the task checks it all again before recording.
    if (Status output = checkConversionOutput(settings, true); !output)
        return fail(output.message());
    bool overwrite = false;
    if (const std::string existing = existingOutputFile(settings); !existing.empty()) {
        if (Status allowed = allowOverwrite(existing, options.overwrite); !allowed)
            return fail(allowed.message());
        overwrite = true;
    }

    (*source)->setScriptedInput(options.scriptedInput);
    InterruptGuard interrupts;
    ConversionTask task(settings, std::move(*source));
    task.setOverwriteAllowed(overwrite);
    task.setWatermarkPicture(watermark);
    std::optional<ProgressBar> bar;
    ConversionPhase shown = ConversionPhase::Recording;
    int planned = 0;
    task.setProgressCallback([&](const TaskProgress& p) {
        if (p.phase == ConversionPhase::Recording)
            planned = p.count;
        if (!bar || p.phase != shown) {
            if (bar)
                bar->finish();
            bar.emplace(p.phase == ConversionPhase::Recording ? "Recording" : "Encoding");
            shown = p.phase;
        }
        bar->update(p.phase == ConversionPhase::Recording ? p.index : p.index + 1, p.count);
        return !g_interrupted.load();
    });
    const TaskResult result = task.run();
    if (bar) {
        if (result.phase == ConversionPhase::Recording)
            bar->update(result.framesRecorded, planned);
        bar->finish();
    }
    for (const std::string& warning : result.warnings())
        std::fprintf(stderr, "swivio-cli convert: warning: %s\n", warning.c_str());
    switch (result.outcome) {
    case ConversionResult::Outcome::Completed: {
        // One file (AVI, MPEG, animated GIF) is named; a picture series by its folder.
        const std::string file = conversionOutputFile(settings);
        if (file.empty())
            std::printf("Wrote %d frames into %s\n", result.framesWritten,
                        settings.outputFolder.c_str());
        else
            std::printf("Wrote %s (%d frames)\n", file.c_str(), result.framesWritten);
        return 0;
    }
    case ConversionResult::Outcome::Cancelled:
        if (result.phase == ConversionPhase::Recording)
            std::fputs("swivio-cli convert: cancelled while recording; nothing was written.\n",
                       stderr);
        else if (!result.message.empty())
            std::fprintf(stderr,
                         "swivio-cli convert: cancelled; the output was not completed: %s\n",
                         result.message.c_str());
        else
            std::fprintf(stderr, "swivio-cli convert: cancelled; %d frames were written.\n",
                         result.framesWritten);
        return 130;
    case ConversionResult::Outcome::Failed:
        break;
    }
    return fail(result.message);
}

} // namespace swivio::cli
