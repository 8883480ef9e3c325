#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encode/image/picture_image.h"

namespace swivio {

// The separate steps of writing a GIF file, each appending its bytes to `out`. Multi-byte
// integers are 16-bit little-endian. A single picture is header, frame extension, comment,
// image and trailer; an animated GIF repeats frame extension and image per frame.

// "GIF89a", the screen size, the flags (0x80 | (bits - 1) << 5 | (bits - 1) with a palette,
// 0x11 without), background index 0, aspect 0, then the global colour table as red, green,
// blue triples (padded with black to 2^bits entries).
void writeGifHeader(std::vector<uint8_t>& out, const PictureImage& image);
// The NETSCAPE2.0 application extension with the given loop count (0 = for ever).
void writeLoopExtension(std::vector<uint8_t>& out, int loopCount);
// The graphic control extension: disposal method (0..7), delay in hundredths of a second,
// and the transparent palette index, or -1 for none.
void writeFrameExtension(std::vector<uint8_t>& out, int disposalMethod, int delay,
                         int transparentIndex);
// A comment extension of at most 255 bytes; nothing when `comment` is empty.
void writeComment(std::vector<uint8_t>& out, const std::string& comment);
// The image descriptor at (0, 0) with no local colour table, not interlaced, then the
// pixels from the top row down as LZW data in sub-blocks of at most 254 bytes and the block
// terminator. `image` must be an 8-bit picture; otherwise nothing is written and false.
bool writeImage(std::vector<uint8_t>& out, const PictureImage& image);
// The image descriptor at (left, top) with a local colour table: the picture's palette (1
// to 256 colours) padded with black to the next power of two, at least 2 entries. The LZW
// code size follows the table's size, so a picture of few colours takes fewer bits a
// pixel; every pixel must index the palette. Not interlaced. False (nothing written)
// unless `image` is an 8-bit picture with a palette.
bool writeImageAt(std::vector<uint8_t>& out, const PictureImage& image, int left, int top);
inline void writeGifTrailer(std::vector<uint8_t>& out) {
    out.push_back(0x3B);
}

// A whole single-picture GIF of an 8-bit picture: header, frame extension with disposal 0
// and delay 0, comment (none), image and trailer.
std::vector<uint8_t> encodeSingleGif(const PictureImage& image);

} // namespace swivio
