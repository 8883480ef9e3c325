#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/result.h"
#include "encode/image/picture_image.h"

namespace swivio {

// An uncompressed 24-bit bitmap file: the 14-byte file header ("BM", file size, two zero
// reserved words, pixel offset 54), the 40-byte information header (width, positive height,
// 1 plane, 24 bits, no compression, image size), then the rows bottom first, blue-green-red,
// each padded to a multiple of 4 bytes (no padding when the width is a multiple of 4).
// 8-bit pictures are written through their palette.
std::vector<uint8_t> encodeBmp(const PictureImage& image);

// Reads a bitmap file held in memory: information headers of 12 (OS/2), 40 and longer
// (V4, V5); 1, 4 and 8 bits with a palette, 16 and 32 bits (plain or with bit-field masks),
// 24 bits; rows bottom-up or top-down (negative height). Compressed (RLE) data is refused.
// Every read is bounded; a size past PictureImage's limits or more pixel data than the file
// holds is refused before any pixel memory is allocated. The result is a 24-bit picture.
Result<PictureImage> decodeBmp(std::span<const uint8_t> data);

} // namespace swivio
