#include "crop/frame_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "settings/conversion_settings.h"
#include "settings/video_file_rules.h"

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

// a * b * c / (d * e), truncated toward zero, in 128 bits so that no product can overflow.
int32_t mulDiv3(int64_t a, int64_t b, int64_t c, int64_t d, int64_t e) {
    __extension__ using Wide = __int128;
    const Wide v = Wide(a) * b * c / (Wide(d) * e);
    return int32_t(std::clamp<Wide>(v, std::numeric_limits<int32_t>::min(),
                                    std::numeric_limits<int32_t>::max()));
}

} // namespace

PixelAspect outputPixelAspect(const ConversionSettings& s, int32_t outputWidth,
                              int32_t outputHeight) {
    if (s.convertType != OutputType::Mpeg || outputWidth <= 0 || outputHeight <= 0)
        return {};
    const int64_t num = int64_t(kMpegDisplayAspect.num) * outputHeight;
    const int64_t den = int64_t(kMpegDisplayAspect.den) * outputWidth;
    const int64_t divisor = std::gcd(num, den);
    return {num / divisor, den / divisor};
}

FrameGeometry computeFrameGeometry(const ConversionSettings& s) {
    int32_t requestedWidth = s.aviWidth;
    int32_t requestedHeight = s.aviHeight;
    if (s.convertType == OutputType::Mpeg) {
        requestedWidth = s.mpegWidth;
        requestedHeight = s.mpegHeight;
    } else if (s.convertType == OutputType::VideoFile) {
        const VideoFrameRequest request = videoFrameRequest(s);
        requestedWidth = request.width;
        requestedHeight = request.height;
    } else if (s.convertType == OutputType::ImageSeries) {
        requestedWidth = s.imageWidth;
        requestedHeight = s.imageHeight;
    }

    FrameGeometry g;
    // A video file's 4:2:0 pictures need even sizes only; AVI rows are multiples of 4.
    const int32_t widthStep = s.convertType == OutputType::VideoFile ? 2 : 4;
    g.outputWidth = requestedWidth / widthStep * widthStep;
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

    const PixelAspect pixel = outputPixelAspect(s, w, h);
    if (w <= 0 || h <= 0) {
        // A frame too small to hold a pixel keeps an empty content area.
        g.contentWidth = g.contentHeight = 0;
    } else if (!pixel.isSquare()) {
        // Shown at the pixel aspect, the frame is w x num/den units wide per h high; the crop
        // keeps its shape in those units.
        if (double(cropWidth) * double(pixel.den) * double(h) >=
            double(w) * double(pixel.num) * double(cropHeight)) {
            g.contentWidth = w;
            g.contentHeight = mulDiv3(w, pixel.num, cropHeight, pixel.den, cropWidth);
        } else {
            g.contentHeight = h;
            g.contentWidth = mulDiv3(h, pixel.den, cropWidth, pixel.num, cropHeight);
        }
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
