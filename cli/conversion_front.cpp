#include "cli/conversion_front.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>

#include "encode/image/picture_image.h"
#include "encode/output_checks.h"

namespace swivio::cli {

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) { g_interrupted.store(true); }

constexpr std::array<int, 3> kSignals = {SIGINT, SIGHUP, SIGTERM};

} // namespace

struct InterruptGuard::Saved {
    std::array<struct sigaction, kSignals.size()> previous = {};
};

InterruptGuard::InterruptGuard() : m_saved(std::make_unique<Saved>()) {
    g_interrupted.store(false);
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        sigaction(kSignals[i], &action, &m_saved->previous[i]);
}

InterruptGuard::~InterruptGuard() {
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        sigaction(kSignals[i], &m_saved->previous[i], nullptr);
}

bool InterruptGuard::interrupted() { return g_interrupted.load(); }

Result<PreparedConversion> prepareConversion(ConvertOptions& options, const std::string& command,
                                             ConversionMode mode) {
    PreparedConversion p;
    auto source = openMovieSource(options.movie);
    if (!source)
        return Result<PreparedConversion>::failure(source.message());
    p.source = std::move(*source);
    resetForMovie(p.settings, options.movie, movieProperties(*p.source));
    options.movieHasSound = p.source->hasSound();
    const Status applied = applyConvertOptions(options, p.settings, p.watermark);
    if (!applied)
        return Result<PreparedConversion>::failure(applied.message());
    for (const std::string& warning : applied.warnings())
        std::fprintf(stderr, "swivio-cli %s: warning: %s\n", command.c_str(), warning.c_str());
    p.settings.conversionMode = mode;
    // What refuses the output whatever the answer is checked before the question is asked;
    // the task checks it all again before recording.
    if (Status output = checkConversionOutput(p.settings, true); !output)
        return Result<PreparedConversion>::failure(output.message());
    if (const std::string existing = existingOutputFile(p.settings); !existing.empty()) {
        if (Status allowed = allowOverwrite(existing, options.overwrite); !allowed)
            return Result<PreparedConversion>::failure(allowed.message());
        p.overwrite = true;
    }
    return p;
}

int reportConversion(const TaskResult& result, const ConversionSettings& settings,
                     const std::string& command) {
    const char* name = command.c_str();
    for (const std::string& warning : result.warnings())
        std::fprintf(stderr, "swivio-cli %s: warning: %s\n", name, warning.c_str());
    switch (result.outcome) {
    case ConversionResult::Outcome::Completed: {
        // One file (AVI, MPEG, animated GIF, video file) is named; a picture series by its
        // folder.
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
            std::fprintf(stderr, "swivio-cli %s: cancelled while recording; nothing was written.\n",
                         name);
        else if (!result.message.empty())
            std::fprintf(stderr, "swivio-cli %s: cancelled; the output was not completed: %s\n",
                         name, result.message.c_str());
        else
            std::fprintf(stderr, "swivio-cli %s: cancelled; %d frames were written.\n", name,
                         result.framesWritten);
        return 130;
    case ConversionResult::Outcome::Failed:
        break;
    }
    std::fprintf(stderr, "swivio-cli %s: %s\n", name, result.message.c_str());
    return 1;
}

} // namespace swivio::cli
