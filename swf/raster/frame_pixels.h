#pragma once

#include <cstdint>

#include "base/frame.h"
#include "swf/raster/surface.h"

// Pixels between the frame picture (B, G, R bytes) and working surfaces (premultiplied
// R, G, B, A words): the first and last step of every rendered frame, so worth doing fast.
namespace swivio::swf::raster {

// Reads `count` frame pixels as opaque surface pixels.
void loadFrameRow(const uint8_t* in, uint32_t* out, int count);

// Writes `count` surface pixels into the frame: opaque ones replace the frame's pixel,
// others are composed over it.
void storeFrameRow(const uint32_t* in, uint8_t* out, int count);

// Fills the part of `box` inside the frame with a colour (0x00BBGGRR).
void fillFrame(Frame& frame, PixelBox box, uint32_t colour);

} // namespace swivio::swf::raster
