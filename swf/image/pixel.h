#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "swf/image/bitmap_decoder.h"
#include "swf/image/picture_decoders.h"

namespace swivio::swf::image {

// A Bitmap pixel: bytes R, G, B, A in memory order, whatever the machine's byte order.
inline uint32_t packPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    const uint8_t bytes[4] = {r, g, b, a};
    uint32_t v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

// c * a / 255, rounded to nearest.
inline uint8_t premultiply(uint8_t c, uint8_t a) {
    return static_cast<uint8_t>((c * a + 127) / 255);
}

// Straight-alpha colour to a Bitmap pixel.
inline uint32_t premultipliedPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return packPixel(premultiply(r, a), premultiply(g, a), premultiply(b, a), a);
}

// Pixels that claim to be premultiplied but have a colour brighter than their alpha would
// overflow when composited; they are clamped to the alpha.
inline uint32_t clampedPremultipliedPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return packPixel(r < a ? r : a, g < a ? g : a, b < a ? b : a, a);
}

inline uint8_t pixelAlpha(uint32_t pixel) {
    uint8_t bytes[4];
    std::memcpy(bytes, &pixel, sizeof bytes);
    return bytes[3];
}

inline bool bitmapSizeAllowed(int64_t width, int64_t height, const PictureLimits& limits = {}) {
    return width > 0 && height > 0 && width <= limits.maxSide && height <= limits.maxSide &&
           width * height <= limits.maxPixels;
}

// Empty when the size is acceptable, otherwise why not (before any allocation).
inline std::string checkBitmapSize(int64_t width, int64_t height,
                                   const PictureLimits& limits = {}) {
    if (width <= 0 || height <= 0)
        return "bitmap has no pixels (" + std::to_string(width) + "x" + std::to_string(height) +
               ")";
    if (!bitmapSizeAllowed(width, height, limits))
        return "bitmap too large (" + std::to_string(width) + "x" + std::to_string(height) + ")";
    return {};
}

} // namespace swivio::swf::image
