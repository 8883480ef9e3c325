#pragma once

#include <cstdint>
#include <span>

#include "base/result.h"
#include "swf/format/bitmap.h"

namespace swivio::swf {

// Tag codes of the bitmap characters decodeBitmapTag understands.
enum class BitmapTag : uint16_t {
    Bits = 6,           // JPEG data that needs the movie's JPEGTables
    BitsJpeg2 = 21,     // JPEG (with its own tables), PNG or GIF89a
    BitsJpeg3 = 35,     // as Jpeg2, plus a zlib-compressed alpha plane for JPEG data
    BitsJpeg4 = 90,     // as Jpeg3, plus a deblocking parameter (ignored)
    BitsLossless = 20,  // colour-mapped, 15-bit or 24-bit pixels, zlib-compressed
    BitsLossless2 = 36, // as Lossless with alpha: RGBA colour tables, ARGB pixels
};

// Flash Player refuses bitmaps larger than this: at most 8191 pixels a side and
// 16,777,215 pixels in all. Sizes are checked before any pixel memory is allocated.
inline constexpr int kMaxBitmapSide = 8191;
inline constexpr int64_t kMaxBitmapPixels = 16777215;

// True when the tag code is one of the bitmap characters above.
bool isBitmapTag(uint16_t tagCode);

// Decodes the body of a bitmap tag, without its leading 16-bit character id, into
// premultiplied RGBA pixels (Bitmap's layout: bytes R, G, B, A, top row first).
// jpegTables is the body of the movie's JPEGTables tag (empty if it has none); only
// DefineBits uses it. Damaged, truncated or oversized data gives a failure with a message,
// never a crash; truncated compressed pixel data decodes what is there when the picture
// library can, leaving the rest transparent black (lossless) or as the decoder fills it.
// Thread-safe: no shared state.
Result<Bitmap> decodeBitmapTag(uint16_t tagCode, std::span<const uint8_t> bodyAfterCharacterId,
                               std::span<const uint8_t> jpegTables);

} // namespace swivio::swf
