#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "encode/image/picture_image.h"

namespace swivio {

// Writes a 24-bit picture as a baseline JFIF JPEG at its jpegQuality (libjpeg defaults
// otherwise: 4:2:0 chroma). Replaces any file at `path`; on failure the partial file is
// removed and *error (when given) says why.
bool writeJpegFile(const PictureImage& image, const std::string& path, std::string* error);

// Decodes a JPEG held in memory into a 24-bit picture. Sizes past PictureImage's limits are
// refused before decoding; damaged or truncated data decodes as far as libjpeg can go,
// fatal errors fail.
Result<PictureImage> decodeJpeg(std::span<const uint8_t> data);

} // namespace swivio
