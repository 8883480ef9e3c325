#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/swf_movies.h" // losslessBody, zlibCompress

namespace swivio::testkit {

// A picture with straight alpha, bytes R, G, B, A per pixel, top row first.
struct RgbaPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;

    const uint8_t* at(int x, int y) const { return &rgba[(std::size_t(y) * width + x) * 4]; }
};

// A picture of vertical colour bands, to tell rows and columns apart after decoding.
RgbaPicture bandPicture(int width, int height, std::vector<uint32_t> colorsRgb, uint8_t alpha);

// Pictures encoded with the real libraries, as the tags of a movie would hold them.
struct JpegOptions {
    int quality = 95;
    bool progressive = false;
    bool grayscale = false;
};
// A complete JPEG file (tables included) of the picture's colours (alpha ignored).
std::vector<uint8_t> encodeJpeg(const RgbaPicture& picture, JpegOptions options = {});
// The same picture split the way DefineBits and JPEGTables store it: a tables-only
// datastream (SOI, DQT, DHT, EOI) and an abbreviated image datastream without tables.
struct SplitJpeg {
    std::vector<uint8_t> tables;
    std::vector<uint8_t> image;
};
SplitJpeg encodeSplitJpeg(const RgbaPicture& picture, int quality = 95);

// A PNG file: RGBA, or with palette true an 8-bit colour-mapped PNG (each pixel's colour
// must be one of at most 256 distinct RGBA values).
std::vector<uint8_t> encodePng(const RgbaPicture& picture, bool palette = false);

// A GIF89a file with one image of colour indices; transparentIndex < 0 for none. The
// logical screen may be larger than the image, placed at (left, top).
struct GifImage {
    int screenWidth = 0, screenHeight = 0;
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<uint32_t> paletteRgb; // 2, 4, ..., 256 entries
    std::vector<uint8_t> indices;     // width * height, top row first
    int transparentIndex = -1;
};
std::vector<uint8_t> encodeGif(const GifImage& image);

// Bodies of bitmap tags after the character id.
// DefineBitsJPEG3 (deblocking < 0) or DefineBitsJPEG4: picture bytes, then the alpha plane
// compressed with zlib (an empty alphaPlane writes no alpha data).
std::vector<uint8_t> jpegWithAlphaBody(const std::vector<uint8_t>& picture,
                                       const std::vector<uint8_t>& alphaPlane, int deblocking = -1);
} // namespace swivio::testkit
