#pragma once

#include <string>

#include "base/result.h"
#include "encode/image/picture_image.h"

namespace swivio {

// Writes a 24-bit picture as a baseline JFIF JPEG at its jpegQuality (libjpeg defaults
// otherwise: 4:2:0 chroma). Replaces any file at `path`; on failure the partial file is
// removed and the message says why.
Status writeJpegFile(const PictureImage& image, const std::string& path);

} // namespace swivio
