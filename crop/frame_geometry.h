#pragma once

#include <cstdint>

namespace swivio {

struct ConversionSettings;

// How the crop rectangle of the movie maps onto the output frame. Computed once per
// conversion; the recording phase displays the whole movie at playerWidth x playerHeight,
// grabs the outputWidth x outputHeight rectangle at (grabOriginX, grabOriginY) of it, paints
// the centred content area and fills the bars around it; the encoding phase only uses the
// watermark rectangle. All values are output pixels unless stated.
struct FrameGeometry {
    int32_t outputWidth = 0;  // multiple of 4 (even for a video file)
    int32_t outputHeight = 0; // even
    int32_t playerWidth = 0;  // size of the whole displayed movie
    int32_t playerHeight = 0;
    int32_t grabOriginX = 0; // in the displayed movie; may be negative
    int32_t grabOriginY = 0;
    int32_t contentWidth = 0; // the crop rectangle scaled to fit, aspect kept, centred
    int32_t contentHeight = 0;
    int32_t outputMarkX = 0; // watermark, relative to the content area's top-left corner
    int32_t outputMarkY = 0;
    int32_t outputMarkWidth = 0;
    int32_t outputMarkHeight = 0;
};

// The width of an output pixel over its height, in lowest terms.
struct PixelAspect {
    int64_t num = 1;
    int64_t den = 1;
    bool isSquare() const { return num == den; }
};

// MPEG output is shown on a disc player at a display aspect of 4:3 whatever its pixel size,
// so its pixels are (4 x outputHeight) : (3 x outputWidth) wide: 8:9 for DVD-NTSC, 16:15 for
// DVD-PAL. Every other output, and an empty frame, has square pixels.
inline constexpr PixelAspect kMpegDisplayAspect{4, 3};
PixelAspect outputPixelAspect(const ConversionSettings& settings, int32_t outputWidth,
                              int32_t outputHeight);

// Integer arithmetic truncates toward zero with products before quotients; the aspect-ratio
// comparison and the watermark divisions are in floating point, the watermark rounded half
// up. A crop rectangle with no width or height is taken as the whole movie; a movie with no
// width or height gives a content area filling the frame, the player at the frame's size,
// a grab origin of (0, 0) and no watermark area. An output size below 4 x 2 pixels gives an
// empty content area. With non-square output pixels (MPEG) the content area keeps the crop's
// shape as displayed, so a circle in the movie stays a circle on the screen; the player size
// then scales width and height by different factors.
FrameGeometry computeFrameGeometry(const ConversionSettings& settings);

} // namespace swivio
