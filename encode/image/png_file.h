#pragma once

#include <string>

#include "base/frame.h"
#include "encode/image/picture_image.h"

namespace swivio {

// Writes `frame` as an 8-bit-per-channel truecolour PNG (no alpha) at `path`, replacing any
// file there. False, with the reason in *error (when given), if the file could not be
// created or written; a partly written file is removed.
bool writePngFile(const Frame& frame, const std::string& path, std::string* error);

// The same for a picture (8-bit pictures are written through their palette as truecolour).
bool writePngFile(const PictureImage& image, const std::string& path, std::string* error);

} // namespace swivio
