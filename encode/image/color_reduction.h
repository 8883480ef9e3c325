#pragma once

#include "encode/image/picture_image.h"

namespace swivio {

// The colours of a GIF: the standard palette for every picture (reduceTo8Bits), or a
// palette fitted to each picture (AdaptiveReducer in adaptive_palette.h).
enum class GifColors { Standard, Adaptive };

// Makes an 8-bit picture of the same size over the standard palette (all 256 entries) from
// a 24-bit picture. Pixels are visited in storage order, bottom row first, each row left
// to right, and each becomes its nearest palette entry. With `dither`, each pixel's error
// (source minus chosen colour, per channel) is spread onto pixels not yet visited: 7/16 to
// the right, 2/16, 4/16 and 1/16 to x - 1, x and x + 1 of the next row visited; each share
// truncates toward zero and each sum is clamped to 0..255, so `source` itself changes.
// A null picture when `source` is not a 24-bit picture.
PictureImage reduceTo8Bits(PictureImage& source, bool dither);
// The same into `target`, whose pixel memory is reused when it already has the size.
// False (target untouched) when `source` is not a 24-bit picture.
bool reduceTo8Bits(PictureImage& source, bool dither, PictureImage& target);

} // namespace swivio
