#include "crop/frame_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "settings/conversion_settings.h"

namespace swivio {

namespace {

// Intermediate products are formed in 64 bits so that a huge movie size cannot overflow;
// results that fit in 32 bits (every real case) are exactly those of 32-bit arithmetic.
int32_t clampToInt32(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

int32_t mulDiv(int64_t a, int64_t b, int64_t divisor) {
    return clampToInt32(a * b / divisor);
}

// (a * b) / divisor in floating point, then + 0.5 and truncated toward zero.
int32_t roundedMarkValue(int64_t a, int64_t b, int64_t divisor) {
    const double v = double(a * b) / double(divisor) + 0.5;
    if (!(v > double(std::numeric_limits<int32_t>::min())))
        return std::numeric_limits<int32_t>::min();
    if (!(v < double(std::numeric_limits<int32_t>::max())))
        return std::numeric_limits<int32_t>::max();
    return int32_t(v);
}

} // namespace

FrameGeometry computeFrameGeometry(const ConversionSettings& s) {
    int32_t requestedWidth = s.aviWidth;
    int32_t requestedHeight = s.aviHeight;
    if (s.convertType == OutputType::Mpeg) {
        requestedWidth = s.mpegWidth;
        requestedHeight = s.mpegHeight;
    } else if (s.convertType == OutputType::ImageSeries) {
        requestedWidth = s.imageWidth;
        requestedHeight = s.imageHeight;
    }

    FrameGeometry g;
    g.outputWidth = requestedWidth / 4 * 4;
    g.outputHeight = requestedHeight / 2 * 2;
    const int32_t w = g.outputWidth;
    const int32_t h = g.outputHeight;

    if (s.movieWidth <= 0 || s.movieHeight <= 0) {
        // Nothing to scale: show the (empty) movie at the frame's size.
        g.playerWidth = g.contentWidth = w;
        g.playerHeight = g.contentHeight = h;
        return g;
    }
    int32_t cropX = s.cropX;
    int32_t cropY = s.cropY;
    int32_t cropWidth = s.cropWidth;
    int32_t cropHeight = s.cropHeight;
    if (cropWidth <= 0 || cropHeight <= 0) {
        cropX = cropY = 0;
        cropWidth = s.movieWidth;
        cropHeight = s.movieHeight;
    }

    if (w <= 0 || h <= 0) {
        // A frame too small to hold a pixel keeps an empty content area.
        g.contentWidth = g.contentHeight = 0;
    } else if (double(cropWidth) / double(cropHeight) >= double(w) / double(h)) {
        g.contentWidth = w;
        g.contentHeight = mulDiv(w, cropHeight, cropWidth);
    } else {
        g.contentHeight = h;
        g.contentWidth = mulDiv(h, cropWidth, cropHeight);
    }

    g.playerWidth = mulDiv(s.movieWidth, g.contentWidth, cropWidth);
    g.playerHeight = mulDiv(g.contentHeight, s.movieHeight, cropHeight);

    g.grabOriginX = clampToInt32(int64_t(g.playerWidth) * cropX / s.movieWidth -
                                 (int64_t(w) - g.contentWidth) / 2);
    g.grabOriginY = clampToInt32(int64_t(g.playerHeight) * cropY / s.movieHeight -
                                 (int64_t(h) - g.contentHeight) / 2);

    g.outputMarkX = roundedMarkValue(g.playerWidth, s.watermarkX, s.movieWidth);
    g.outputMarkWidth = roundedMarkValue(g.playerWidth, s.watermarkWidth, s.movieWidth);
    g.outputMarkY = roundedMarkValue(g.playerHeight, s.watermarkY, s.movieHeight);
    g.outputMarkHeight = roundedMarkValue(g.playerHeight, s.watermarkHeight, s.movieHeight);
    return g;
}

} // namespace swivio
