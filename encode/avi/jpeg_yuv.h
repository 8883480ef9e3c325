#pragma once

#include <cstdint>

#include "base/frame.h"

namespace swivio {

// One picture's planes of full-range 4:2:0 YUV (JPEG's, BT.601 matrix): the luma plane
// width x height, the two chroma planes (width + 1) / 2 x (height + 1) / 2. Rows `stride`
// bytes apart, top row first. The caller owns the memory.
struct YuvPlanes {
    uint8_t* y = nullptr;
    uint8_t* u = nullptr;
    uint8_t* v = nullptr;
    int yStride = 0;
    int uStride = 0;
    int vStride = 0;
};

// Converts `frame` into `out`, whose planes fit its size. Each chroma sample is the mean of
// its 2 x 2 block of pixels (the last column or row repeats when the size is odd), as a JPEG
// decoder puts it back.
void frameToJpegYuv420(const Frame& frame, const YuvPlanes& out);

} // namespace swivio
