#pragma once

#include <string>

#include "base/frame.h"

namespace swivio {

// How many records a reader can count on: `count` recorded so far; `final` once the
// recording has ended (then `count` is the whole recording); `failed` when it ended without
// finishing (failed or cancelled), so what was read is no recording to complete.
struct RecordTally {
    int count = -1;
    bool final = true;
    bool failed = false;
};

// The recorded frames as the encoding phase reads them back, one record at a time. The
// frame store's reader implements it over the recording's frame files; the frame queue over
// a recording still running; tests implement it in memory.
class RecordedFrames {
public:
    virtual ~RecordedFrames() = default;

    // Moves to the next record. A repeat record keeps the picture read last. False when no
    // record can be read: the frames have ended, or a frame file could not be opened.
    virtual bool advance() = 0;

    // Decodes the current record's picture into `frame` (W x H as recorded). False, with
    // `frame` left untouched, when the stored block does not decode.
    virtual bool decodeInto(Frame& frame) = 0;

    // For frames read while they are recorded: waits until more than `seen` records exist or
    // the recording has ended, and tallies them. A finished recording has nothing to wait
    // for and answers {-1, final}: the job's frameCount is the count.
    virtual RecordTally waitForRecords(int /*seen*/) { return {}; }
};

} // namespace swivio
