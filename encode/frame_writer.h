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

    // Completes the output (trailers, indexes, flushes), closes it and puts it in place:
    // a file output is written beside its destination and renamed over it only here, when
    // complete. Called once, also after a cancel (the frames so far become the output),
    // unless abandon() is. False if the file could not be completed; the destination then
    // keeps what it had.
    virtual bool finish() = 0;

    // Called instead of finish() when the conversion failed: the output is not put in
    // place, so a file that was at the destination stays as it was. Writers whose every
    // frame is a file of its own (a picture series) keep the pictures already written.
    virtual void abandon() { (void)finish(); }

    // The first failure's message, empty while all is well.
    virtual std::string errorString() const = 0;
};

} // namespace swivio
