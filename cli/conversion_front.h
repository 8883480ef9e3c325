#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "capture/conversion_task.h"
#include "cli/convert_options.h"

namespace swivio {
class PictureImage;
}

namespace swivio::cli {

// Ctrl-C, a closed terminal (SIGHUP) and SIGTERM all ask the running phase to stop, so the
// temporary files are deleted whichever ends the command; the handlers are restored when
// the guard goes.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    static bool interrupted();

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

// What convert and record share before anything is recorded: the movie opened once, the
// settings its properties and the options make, and the output checked (the question about
// an existing output asked as -y/-n say).
struct PreparedConversion {
    std::unique_ptr<MovieSource> source;
    ConversionSettings settings;
    std::shared_ptr<PictureImage> watermark;
    bool overwrite = false;
};

// `command` ("convert", "record") begins every line said on standard error.
Result<PreparedConversion> prepareConversion(ConvertOptions& options, const std::string& command,
                                             ConversionMode mode);

// Says the task's warnings and its outcome; returns the exit code.
int reportConversion(const TaskResult& result, const ConversionSettings& settings,
                     const std::string& command);

} // namespace swivio::cli
