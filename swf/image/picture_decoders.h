#pragma once

#include <cstdint>
#include <span>

#include "base/result.h"
#include "swf/format/bitmap.h"
#include "swf/image/bitmap_decoder.h"

namespace swivio::swf::image {

// The decoders of every picture format in the project: the ones a bitmap tag may embed, also
// used for picture files (watermarks). Each refuses pictures beyond its size limits before
// allocating their pixels. Damaged or oversized data gives a failure with a message, never a
// crash. Thread-safe: no shared state.

// The largest picture a decoder accepts; by default what a bitmap character may be.
struct PictureLimits {
    int maxSide = kMaxBitmapSide;
    int64_t maxPixels = kMaxBitmapPixels;
};

// How the decoded pixels carry alpha (Bitmap's byte layout either way: R, G, B, A).
enum class AlphaForm {
    Premultiplied, // what Bitmap holds everywhere else; a fully transparent pixel is 0
    Straight,      // colours as the file stores them, also where alpha is below 255
};

struct DecodeOptions {
    PictureLimits limits;
    AlphaForm alpha = AlphaForm::Premultiplied;
};

// A complete JPEG datastream (tables included): opaque pixels; CMYK pictures are converted
// to RGB. Truncated data decodes as far as libjpeg can go. Decoding stops with a failure
// after more than kMaxJpegScans scans, which no real picture needs.
inline constexpr int kMaxJpegScans = 500;
Result<Bitmap> decodeJpeg(std::span<const uint8_t> stream, const DecodeOptions& options = {});

// A PNG file: any bit depth and colour type (16-bit channels scaled to 8), transparency
// kept. The file may end after the image data.
Result<Bitmap> decodePng(std::span<const uint8_t> data, const DecodeOptions& options = {});

// A GIF file: the first image, placed on the logical screen; the transparent colour (and
// the screen outside the image) has alpha 0. With straight alpha the transparent colour
// keeps its palette colour and the rest of the screen is black.
Result<Bitmap> decodeGif(std::span<const uint8_t> data, const DecodeOptions& options = {});

} // namespace swivio::swf::image
