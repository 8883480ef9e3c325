#pragma once

#include <cstdint>
#include <string>

#include "base/result.h"

namespace swivio::png_codec {

// Writes a truecolour PNG of width x height from `rows` (top row first, 3 bytes a pixel,
// blue-green-red when `bgr` is set, otherwise red-green-blue). Replaces any file at `path`;
// on failure the partial file is removed and the message says why.
Status writeRgbRows(const std::string& path, int width, int height, const uint8_t* const* rows,
                    bool bgr);

} // namespace swivio::png_codec
