#include "base/frame.h"

namespace swivio {

Frame::Frame(int width, int height)
    : m_width(width > 0 ? width : 0), m_height(height > 0 ? height : 0),
      m_pixels(static_cast<std::size_t>(m_width) * m_height * 3) {}

void Frame::fill(uint32_t colorBgr) {
    const uint8_t b = colorBlue(colorBgr), g = colorGreen(colorBgr), r = colorRed(colorBgr);
    for (std::size_t i = 0; i + 2 < m_pixels.size(); i += 3) {
        m_pixels[i] = b;
        m_pixels[i + 1] = g;
        m_pixels[i + 2] = r;
    }
}

uint32_t Frame::pixel(int x, int y) const {
    const uint8_t* p = topRow(y) + static_cast<std::size_t>(x) * 3;
    return makeColor(p[2], p[1], p[0]);
}

void Frame::setPixel(int x, int y, uint32_t colorBgr) {
    uint8_t* p = topRow(y) + static_cast<std::size_t>(x) * 3;
    p[0] = colorBlue(colorBgr);
    p[1] = colorGreen(colorBgr);
    p[2] = colorRed(colorBgr);
}

} // namespace swivio
