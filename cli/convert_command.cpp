#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "capture/conversion_task.h"
#include "cli/batch_convert.h"
#include "cli/commands.h"
#include "cli/conversion_front.h"
#include "cli/convert_options.h"
#include "cli/progress_bar.h"
#include "encode/avi/video_compressor_list.h"

namespace swivio::cli {

namespace {

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
    auto prepared = prepareConversion(options, "convert", ConversionMode::FrameByFrame);
    if (!prepared)
        return fail(prepared.message());
    PreparedConversion& p = *prepared;
    p.source->setScriptedInput(options.scriptedInput);
    InterruptGuard interrupts;
    ConversionTask task(p.settings, std::move(p.source));
    task.setOverwriteAllowed(p.overwrite);
    task.setWatermarkPicture(p.watermark);
    std::optional<ProgressBar> bar;
    ConversionPhase shown = ConversionPhase::Recording;
    int planned = 0;
    task.setProgressCallback([&](const TaskProgress& progress) {
        if (progress.phase == ConversionPhase::Recording)
            planned = progress.count;
        if (!bar || progress.phase != shown) {
            if (bar)
                bar->finish();
            bar.emplace(progress.phase == ConversionPhase::Recording ? "Recording" : "Encoding");
            shown = progress.phase;
        }
        bar->update(progress.phase == ConversionPhase::Recording ? progress.index
                                                                 : progress.index + 1,
                    progress.count);
        return !InterruptGuard::interrupted();
    });
    const TaskResult result = task.run();
    if (bar) {
        if (result.phase == ConversionPhase::Recording)
            bar->update(result.framesRecorded, planned);
        bar->finish();
    }
    return reportConversion(result, p.settings, "convert");
}

} // namespace swivio::cli
