#pragma once

#include <string>

#include "encode/image/picture_image.h"

namespace swivio {

// Writes a 24-bit picture as a baseline JFIF JPEG at its jpegQuality (libjpeg defaults
// otherwise: 4:2:0 chroma). Replaces any file at `path`; on failure the partial file is
// removed and *error (when given) says why.
bool writeJpegFile(const PictureImage& image, const std::string& path, std::string* error);

} // namespace swivio
