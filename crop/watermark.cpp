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

    if (settings.watermarkUseTransparentColor)
        m_mode = Mode::ColorKey;
    else if (settings.watermarkUseTransparency)
        m_mode = Mode::Blend;
    m_alpha = int(uint32_t(settings.watermarkTransparency) & 0xFF);
    const uint32_t key = settings.watermarkTransparentColor & 0xFFFFFF;

    const int width = int(x1 - x0), height = int(y1 - y0);
    m_pixels.resize(std::size_t(width) * height * 3);
    if (m_mode == Mode::ColorKey)
        m_drawn.resize(std::size_t(width) * height);
    std::vector<int> sourceX(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        sourceX[std::size_t(x)] = int((x0 + x - left) * picture->width() / markWidth);
    for (int y = 0; y < height; ++y) {
        const int sy = int((y0 + y - top) * picture->height() / markHeight);
        uint8_t* dst = m_pixels.data() + std::size_t(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const uint32_t c = picture->pixel(sourceX[std::size_t(x)], sy);
            dst[x * 3] = colorBlue(c);
            dst[x * 3 + 1] = colorGreen(c);
            dst[x * 3 + 2] = colorRed(c);
            if (m_mode == Mode::ColorKey)
                m_drawn[std::size_t(y) * width + x] = c != key;
        }
    }
    m_left = int(x0);
    m_top = int(y0);
    m_width = width;
    m_height = height;
}

void WatermarkStamp::apply(Frame& frame) const {
    if (!isActive() || frame.width() != m_frameWidth || frame.height() != m_frameHeight)
        return;
    const std::size_t rowBytes = std::size_t(m_width) * 3;
    const int alpha = m_alpha, inverse = 255 - m_alpha;
    for (int y = 0; y < m_height; ++y) {
        uint8_t* dst = frame.topRow(m_top + y) + std::size_t(m_left) * 3;
        const uint8_t* src = m_pixels.data() + std::size_t(y) * rowBytes;
        switch (m_mode) {
        case Mode::Opaque:
            std::memcpy(dst, src, rowBytes);
            break;
        case Mode::ColorKey: {
            const uint8_t* drawn = m_drawn.data() + std::size_t(y) * m_width;
            for (int x = 0; x < m_width; ++x) {
                if (drawn[x])
                    std::memcpy(dst + x * 3, src + x * 3, 3);
            }
            break;
        }
        case Mode::Blend:
            for (std::size_t i = 0; i < rowBytes; ++i) {
                // Rounded division by 255, exact for every sum up to 255 * 255.
                const uint32_t t = uint32_t(src[i] * alpha + dst[i] * inverse) + 128;
                dst[i] = uint8_t((t + (t >> 8)) >> 8);
            }
            break;
        }
    }
}

} // namespace swivio
