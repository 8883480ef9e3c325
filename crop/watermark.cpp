#include "crop/watermark.h"

#include <algorithm>
#include <cstring>

#include "encode/image/picture_image.h"

namespace swivio {

WatermarkStamp::WatermarkStamp(const ConversionSettings& settings, const FrameGeometry& geometry,
                               const PictureImage* picture, int frameWidth, int frameHeight)
    : m_frameWidth(frameWidth), m_frameHeight(frameHeight) {
    if (!settings.watermarkEnabled || !picture || picture->isNull())
        return;
    const int64_t markWidth = geometry.outputMarkWidth;
    const int64_t markHeight = geometry.outputMarkHeight;
    if (markWidth <= 0 || markHeight <= 0 || frameWidth <= 0 || frameHeight <= 0)
        return;
    const int64_t left =
        int64_t(geometry.outputMarkX) + (int64_t(geometry.outputWidth) - geometry.contentWidth) / 2;
    const int64_t top = int64_t(geometry.outputMarkY) +
                        (int64_t(geometry.outputHeight) - geometry.contentHeight) / 2;
    // The part of the rectangle inside the frame.
    const int64_t x0 = std::max<int64_t>(left, 0), y0 = std::max<int64_t>(top, 0);
    const int64_t x1 = std::min<int64_t>(left + markWidth, frameWidth);
    const int64_t y1 = std::min<int64_t>(top + markHeight, frameHeight);
    if (x1 <= x0 || y1 <= y0)
        return;

    // Each drawn pixel's weight: 0 where the colour key hides it, otherwise the picture's
    // own alpha, times the opacity when that is on. Key, alpha and opacity all combine.
    const bool keyed = settings.watermarkUseTransparentColor;
    const int opacity =
        settings.watermarkUseTransparency ? int(uint32_t(settings.watermarkTransparency) & 0xFF) : 255;
    const uint32_t key = settings.watermarkTransparentColor & 0xFFFFFF;

    const int width = int(x1 - x0), height = int(y1 - y0);
    m_pixels.resize(std::size_t(width) * height * 3);
    m_weights.resize(std::size_t(width) * height);
    std::vector<int> sourceX(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        sourceX[std::size_t(x)] = int((x0 + x - left) * picture->width() / markWidth);
    bool allOpaque = true, onlyOpaqueOrHidden = true;
    for (int y = 0; y < height; ++y) {
        const int sy = int((y0 + y - top) * picture->height() / markHeight);
        uint8_t* dst = m_pixels.data() + std::size_t(y) * width * 3;
        uint8_t* weight = m_weights.data() + std::size_t(y) * width;
        for (int x = 0; x < width; ++x) {
            const int sx = sourceX[std::size_t(x)];
            const uint32_t c = picture->pixel(sx, sy);
            dst[x * 3] = colorBlue(c);
            dst[x * 3 + 1] = colorGreen(c);
            dst[x * 3 + 2] = colorRed(c);
            const int w = keyed && c == key ? 0 : picture->alphaAt(sx, sy) * opacity;
            weight[x] = uint8_t((w + 127) / 255);
            allOpaque = allOpaque && weight[x] == 255;
            onlyOpaqueOrHidden = onlyOpaqueOrHidden && (weight[x] == 0 || weight[x] == 255);
        }
    }
    // The common cases keep their cheap paths: a plain copy, a copy of the pixels the key
    // leaves, one constant blend.
    if (allOpaque) {
        m_mode = Mode::Opaque;
        m_weights.clear();
    } else if (onlyOpaqueOrHidden) {
        m_mode = Mode::ColorKey;
    } else if (!keyed && !picture->hasAlpha()) {
        m_mode = Mode::Blend;
        m_alpha = opacity;
        m_weights.clear();
    } else {
        m_mode = Mode::PerPixel;
    }
    m_left = int(x0);
    m_top = int(y0);
    m_width = width;
    m_height = height;
}

namespace {

// source x weight + frame x (255 - weight), divided by 255 and rounded; the division is
// exact for every sum up to 255 x 255.
inline uint8_t blend(int source, int frame, int weight) {
    const uint32_t t = uint32_t(source * weight + frame * (255 - weight)) + 128;
    return uint8_t((t + (t >> 8)) >> 8);
}

} // namespace

void WatermarkStamp::apply(Frame& frame) const {
    if (!isActive() || frame.width() != m_frameWidth || frame.height() != m_frameHeight)
        return;
    const std::size_t rowBytes = std::size_t(m_width) * 3;
    const int alpha = m_alpha;
    for (int y = 0; y < m_height; ++y) {
        uint8_t* dst = frame.topRow(m_top + y) + std::size_t(m_left) * 3;
        const uint8_t* src = m_pixels.data() + std::size_t(y) * rowBytes;
        switch (m_mode) {
        case Mode::Opaque:
            std::memcpy(dst, src, rowBytes);
            break;
        case Mode::ColorKey: {
            const uint8_t* drawn = m_weights.data() + std::size_t(y) * m_width;
            for (int x = 0; x < m_width; ++x) {
                if (drawn[x])
                    std::memcpy(dst + x * 3, src + x * 3, 3);
            }
            break;
        }
        case Mode::PerPixel: {
            const uint8_t* weight = m_weights.data() + std::size_t(y) * m_width;
            for (int x = 0; x < m_width; ++x)
                for (int c = 0; c < 3; ++c)
                    dst[x * 3 + c] = blend(src[x * 3 + c], dst[x * 3 + c], weight[x]);
            break;
        }
        case Mode::Blend:
            for (std::size_t i = 0; i < rowBytes; ++i)
                dst[i] = blend(src[i], dst[i], alpha);
            break;
        }
    }
}

} // namespace swivio
