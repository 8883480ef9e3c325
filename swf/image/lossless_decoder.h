#pragma once

#include <cstdint>
#include <span>

#include "base/result.h"
#include "swf/format/bitmap.h"

namespace swivio::swf::image {

// DefineBitsLossless (withAlpha false) and DefineBitsLossless2 bodies after the character
// id: format, width, height, [colour table size - 1], zlib-compressed colour table and
// pixels. Pixel data cut short decodes as far as it goes; the rest stays transparent black.
Result<Bitmap> decodeLossless(std::span<const uint8_t> body, bool withAlpha);

} // namespace swivio::swf::image
