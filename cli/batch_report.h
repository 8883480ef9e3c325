#pragma once

#include <cstddef>
#include <string>

#include "cli/batch_plan.h"

namespace swivio::cli {

enum class BatchStatus { Converted, Failed, Crashed, TimedOut, Cancelled };

// How one movie's conversion ended.
struct BatchOutcome {
    BatchStatus status = BatchStatus::Failed;
    int frames = 0;     // frames written
    double seconds = 0; // wall time of its process
    int warnings = 0;
    std::string error; // empty when converted
};

// "ok", "failed", "crashed", "timeout", "cancelled".
const char* batchStatusName(BatchStatus status);

// Reads what a `convert` of one movie prints (its "Wrote ..." line and its
// "swivio-cli convert: ..." warnings and error), fed in pieces as they arrive. Lines longer
// than a few kilobytes are cut, so a process that prints without end costs no memory.
class ConvertOutputReader {
public:
    void feed(const char* data, std::size_t size);
    // Takes a last line that has no line end.
    void finish();

    int frames() const { return m_frames; }
    int warnings() const { return m_warnings; }
    // The last error line, without its "swivio-cli convert: " prefix.
    const std::string& error() const { return m_error; }

private:
    void line(const std::string& text);

    std::string m_partial;
    int m_frames = 0;
    int m_warnings = 0;
    std::string m_error;
};

// One summary line (no line end): status, input -> output, frames, seconds, warnings and
// the error, if any.
std::string batchSummaryLine(const BatchMovie& movie, const BatchOutcome& outcome);

// One JSON object (no line end) with input, output, status, frames, seconds, warnings and
// error (null when there is none).
std::string batchJsonLine(const BatchMovie& movie, const BatchOutcome& outcome);

// `text` as a JSON string, quotes included: quotes, backslashes and control characters
// escaped, and bytes that are not UTF-8 (a file name may hold any) replaced by U+FFFD.
std::string jsonString(const std::string& text);

} // namespace swivio::cli
