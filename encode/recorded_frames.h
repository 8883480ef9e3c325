#pragma once

#include <string>

#include "base/frame.h"

namespace swivio {

// The recorded frames as the encoding phase reads them back, one record at a time. The
// frame store's reader implements it over the recording's frame files; tests implement it
// in memory.
class RecordedFrames {
public:
    virtual ~RecordedFrames() = default;

    // Moves to the next record. A repeat record keeps the picture read last. False when no
    // record can be read: the frames have ended, or a frame file could not be opened.
    virtual bool advance() = 0;

    // Decodes the current record's picture into `frame` (W x H as recorded). False, with
    // `frame` left untouched, when the stored block does not decode.
    virtual bool decodeInto(Frame& frame) = 0;
};

} // namespace swivio
