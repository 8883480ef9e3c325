#pragma once

#include <cstdint>
#include <span>

#include "base/result.h"
#include "encode/image/picture_image.h"

namespace swivio {

// Decodes the first image of a GIF held in memory (with giflib) into a 24-bit picture of
// that image's size, through its local or the global colour table. Transparency is not
// kept. Sizes past PictureImage's limits are refused before any pixel memory is allocated;
// truncated pixel data fails.
Result<PictureImage> decodeGif(std::span<const uint8_t> data);

} // namespace swivio
