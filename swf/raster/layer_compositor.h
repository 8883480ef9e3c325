#pragma once

#include <cstdint>

#include "swf/format/filter.h"
#include "swf/format/types.h"
#include "swf/raster/surface.h"

namespace swivio::swf::raster {

// Composes the box of a layer onto the surface below it with a blend mode. The layer's
// pixels first pass through the colour transform (when not the identity) and the coverage
// mask (dst-sized, one byte a pixel, or null). Alpha and Erase change only the alpha of
// what lies below: they act on the enclosing layer.
void composeLayer(const Surface& layer, Surface& dst, const PixelBox& box, BlendMode mode,
                  const ColorTransform& ct, const uint8_t* mask);

// One pixel of a blend: premultiplied source (already multiplied by its coverage) onto a
// premultiplied destination.
uint32_t blendPixel(BlendMode mode, uint32_t src, uint32_t dst);

} // namespace swivio::swf::raster
