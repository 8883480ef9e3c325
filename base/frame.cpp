#include "base/frame.h"

#include <algorithm>
#include <cstring>

namespace swivio {

Frame::Frame(int width, int height)
    : m_width(width > 0 ? width : 0), m_height(height > 0 ? height : 0),
      m_pixels(static_cast<std::size_t>(m_width) * m_height * 3) {}

void Frame::fill(uint32_t colorBgr) {
    if (m_pixels.size() < 3)
        return;
    uint8_t* const p = m_pixels.data();
    p[0] = colorBlue(colorBgr);
    p[1] = colorGreen(colorBgr);
    p[2] = colorRed(colorBgr);
    // The filled part doubles with each copy; it always holds whole pixels, so the pattern
    // stays in step.
    const std::size_t total = m_pixels.size();
    std::size_t done = 3;
    while (done < total) {
        const std::size_t n = std::min(done, total - done);
        std::memcpy(p + done, p, n);
        done += n;
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
