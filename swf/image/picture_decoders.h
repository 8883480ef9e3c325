#pragma once

#include <cstdint>
#include <span>

#include "base/result.h"
#include "swf/format/bitmap.h"

namespace swivio::swf::image {

// Decoders of the picture formats a bitmap tag may embed. Each refuses pictures beyond the
// bitmap size limits before allocating their pixels and returns premultiplied pixels.

// A complete JPEG datastream (tables included): opaque pixels. Decoding stops with a
// failure after more than kMaxJpegScans scans, which no real picture needs.
inline constexpr int kMaxJpegScans = 500;
Result<Bitmap> decodeJpeg(std::span<const uint8_t> stream);

// A PNG file: any bit depth and colour type, transparency kept.
Result<Bitmap> decodePng(std::span<const uint8_t> data);

// A GIF file: the first image, placed on the logical screen; the transparent colour (and
// the screen outside the image) becomes transparent.
Result<Bitmap> decodeGif(std::span<const uint8_t> data);

} // namespace swivio::swf::image
