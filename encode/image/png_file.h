#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/frame.h"
#include "base/result.h"
#include "encode/image/picture_image.h"

namespace swivio {

// Writes `frame` as an 8-bit-per-channel truecolour PNG (no alpha) at `path`, replacing any
// file there. False, with the reason in *error (when given), if the file could not be
// created or written; a partly written file is removed.
bool writePngFile(const Frame& frame, const std::string& path, std::string* error);

// The same for a picture (8-bit pictures are written through their palette as truecolour).
bool writePngFile(const PictureImage& image, const std::string& path, std::string* error);

// Decodes a PNG held in memory into a 24-bit picture: palettes and grey are expanded,
// 16-bit channels reduced to 8, an alpha channel dropped (the colours are kept as stored).
// Sizes past PictureImage's limits are refused before any pixel memory is allocated.
Result<PictureImage> decodePng(std::span<const uint8_t> data);

} // namespace swivio
