#include "encode/image/picture_image.h"

#include <cstring>

namespace swivio {

bool PictureImage::sizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

PictureImage::PictureImage(int width, int height, int bitsPerPixel) {
    if (!sizeAllowed(width, height) || (bitsPerPixel != 8 && bitsPerPixel != 24))
        return;
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    m_pixels.assign(stride() * static_cast<std::size_t>(height), 0);
}

PictureImage PictureImage::fromFrame(const Frame& frame) {
    PictureImage image(frame.width(), frame.height(), 24);
    if (!image.isNull())
        std::memcpy(image.data(), frame.data(), image.stride() * image.height());
    return image;
}

uint32_t PictureImage::pixel(int x, int y) const {
    const uint8_t* row = topRow(y);
    if (m_bitsPerPixel == 24) {
        const uint8_t* p = row + static_cast<std::size_t>(x) * 3;
        return makeColor(p[2], p[1], p[0]);
    }
    const uint8_t index = row[x];
    return index < m_palette.size() ? m_palette[index] : 0;
}

} // namespace swivio
