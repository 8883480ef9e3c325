#pragma once

#include <cstdint>

#include "base/frame.h"
#include "swf/raster/surface.h"

// Pixels between the frame picture (B, G, R bytes) and working surfaces (premultiplied
// R, G, B, A words): the first and last step of every rendered frame, so worth doing fast.
namespace swivio::swf::raster {

// A frame colour (0x00BBGGRR) as an opaque surface pixel.
inline uint32_t opaquePixel(uint32_t colour) {
    return uint32_t(colorRed(colour)) | uint32_t(colorGreen(colour)) << 8 |
           uint32_t(colorBlue(colour)) << 16 | 0xFF000000u;
}

// Reads `count` frame pixels as opaque surface pixels.
void loadFrameRow(const uint8_t* in, uint32_t* out, int count);

// Writes `count` surface pixels into the frame: opaque ones replace the frame's pixel,
// others are composed over it, or over `under` (an opaque surface pixel) when not 0.
void storeFrameRow(const uint32_t* in, uint8_t* out, int count, uint32_t under = 0);

// Fills the part of `box` inside the frame with a colour (0x00BBGGRR).
void fillFrame(Frame& frame, PixelBox box, uint32_t colour);

} // namespace swivio::swf::raster
