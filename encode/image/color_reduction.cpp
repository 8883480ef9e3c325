#include "encode/image/color_reduction.h"

#include <cstdint>

#include "encode/image/standard_palette.h"

namespace swivio {
namespace {

inline void addClamped(uint8_t* channel, int delta) {
    const int v = *channel + delta;
    *channel = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Spreads the error of one pixel onto a neighbour, weight sixteenths of it per channel.
inline void diffuse(uint8_t* pixel, const int* error, int weight) {
    addClamped(pixel, error[0] * weight / 16);
    addClamped(pixel + 1, error[1] * weight / 16);
    addClamped(pixel + 2, error[2] * weight / 16);
}

} // namespace

PictureImage reduceTo8Bits(PictureImage& source, bool dither) {
    PictureImage target;
    if (!reduceTo8Bits(source, dither, target))
        return {};
    return target;
}

bool reduceTo8Bits(PictureImage& source, bool dither, PictureImage& target) {
    if (source.isNull() || source.bitsPerPixel() != 24)
        return false;
    const int width = source.width();
    const int height = source.height();
    if (target.isNull() || target.width() != width || target.height() != height ||
        target.bitsPerPixel() != 8)
        target = PictureImage(width, height, 8);
    if (target.palette() != standardPaletteColors())
        target.setPalette(standardPaletteColors());
    target.setJpegQuality(source.jpegQuality());
    target.setFrameDelay(source.frameDelay());

    const StandardPaletteMatcher matcher;
    // Palette channels in the pixel byte order (blue, green, red).
    uint8_t paletteBgr[256][3];
    for (int i = 0; i < 256; ++i) {
        paletteBgr[i][0] = uint8_t(kStandardPalette[i]);
        paletteBgr[i][1] = uint8_t(kStandardPalette[i] >> 8);
        paletteBgr[i][2] = uint8_t(kStandardPalette[i] >> 16);
    }

    // The colour looked up last and its index: runs of one colour are looked up once.
    uint32_t lastColor = 0xFFFFFFFF;
    int lastIndex = 0;
    for (int r = 0; r < height; ++r) {
        uint8_t* row = source.storageRow(r);
        uint8_t* next = r + 1 < height ? source.storageRow(r + 1) : nullptr;
        uint8_t* out = target.storageRow(r);
        for (int x = 0; x < width; ++x) {
            uint8_t* p = row + static_cast<std::size_t>(x) * 3;
            const uint32_t color = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
            if (color != lastColor) {
                lastColor = color;
                lastIndex = matcher.nearest(p[2], p[1], p[0]);
            }
            out[x] = uint8_t(lastIndex);
            if (!dither)
                continue;
            const int error[3] = {p[0] - paletteBgr[lastIndex][0], p[1] - paletteBgr[lastIndex][1],
                                  p[2] - paletteBgr[lastIndex][2]};
            if (error[0] == 0 && error[1] == 0 && error[2] == 0)
                continue;
            if (x + 1 < width)
                diffuse(p + 3, error, 7);
            if (next) {
                uint8_t* below = next + static_cast<std::size_t>(x) * 3;
                if (x > 0)
                    diffuse(below - 3, error, 2);
                diffuse(below, error, 4);
                if (x + 1 < width)
                    diffuse(below + 3, error, 1);
            }
        }
    }
    return true;
}

} // namespace swivio
