#pragma once

#include <string>

#include "base/frame.h"

namespace swivio {

// One output of the encoding phase (AVI, MPEG, picture series, animated GIF). A writer is
// opened by its own function with its own parameters, then receives the output frames in
// order and is finished once, whatever happened in between.
class FrameWriter {
public:
    virtual ~FrameWriter() = default;

    // Hands over output frame `index` (0, 1, 2, ...); the frame is W x H as opened.
    // False when the frame could not be written; writers whose failures are silent return
    // true.
    virtual bool writeFrame(const Frame& frame, int index) = 0;

    // Completes the output (trailers, indexes, flushes) and closes it. Called exactly once,
    // also after a cancel or a failure. False if the file could not be completed.
    virtual bool finish() = 0;

    // The first failure's message, empty while all is well.
    virtual std::string errorString() const = 0;
};

} // namespace swivio
