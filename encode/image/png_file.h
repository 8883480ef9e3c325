#pragma once

#include <string>

#include "base/frame.h"
#include "base/result.h"
#include "encode/image/picture_image.h"

namespace swivio {

// Writes `frame` as an 8-bit-per-channel truecolour PNG (no alpha) at `path`, replacing any
// file there. Fails with the reason if the file could not be created or written; a partly
// written file is removed.
Status writePngFile(const Frame& frame, const std::string& path);

// The same for a picture (8-bit pictures are written through their palette as truecolour).
Status writePngFile(const PictureImage& image, const std::string& path);

} // namespace swivio
