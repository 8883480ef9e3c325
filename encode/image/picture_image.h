#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/frame.h"

namespace swivio {

// The image layer's picture: width x height pixels of 24 bits (bytes blue, green, red) or
// 8 bits (palette indexes), rows in storage order, bottom row first, with no row padding.
// It also carries the options its writers read: the JPEG quality, the GIF frame delay and
// the GIF transparent palette index.
class PictureImage {
public:
    // The largest picture the image layer creates or loads: 32 Mi pixels (for example
    // 8192 x 4096). Loaders refuse bigger declared sizes before allocating anything.
    static constexpr int64_t kMaxPixels = int64_t(1) << 25;
    // The largest width or height on its own (what a GIF can hold).
    static constexpr int kMaxSide = 65535;

    PictureImage() = default;
    // A black (index 0) picture; a null picture when the size or depth is out of range
    // (sides 1..kMaxSide, at most kMaxPixels, 8 or 24 bits).
    PictureImage(int width, int height, int bitsPerPixel);

    // A 24-bit copy of a frame's pixels.
    static PictureImage fromFrame(const Frame& frame);
    static bool sizeAllowed(int64_t width, int64_t height);

    bool isNull() const { return m_pixels.empty(); }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitsPerPixel() const { return m_bitsPerPixel; }
    std::size_t stride() const { return static_cast<std::size_t>(m_width) * (m_bitsPerPixel / 8); }

    // Storage row r: 0 is the bottom row of the picture.
    uint8_t* storageRow(int r) { return m_pixels.data() + static_cast<std::size_t>(r) * stride(); }
    const uint8_t* storageRow(int r) const {
        return m_pixels.data() + static_cast<std::size_t>(r) * stride();
    }
    // Row y counted from the top of the picture.
    uint8_t* topRow(int y) { return storageRow(m_height - 1 - y); }
    const uint8_t* topRow(int y) const { return storageRow(m_height - 1 - y); }
    uint8_t* data() { return m_pixels.data(); }
    const uint8_t* data() const { return m_pixels.data(); }

    // The colour at (x, y), y from the top, as 0x00BBGGRR (through the palette for 8 bits;
    // an index past the palette reads as black).
    uint32_t pixel(int x, int y) const;

    // 8-bit pictures: up to 256 colours, each 0x00BBGGRR.
    const std::vector<uint32_t>& palette() const { return m_palette; }
    void setPalette(std::vector<uint32_t> colors) { m_palette = std::move(colors); }

    int jpegQuality() const { return m_jpegQuality; }
    void setJpegQuality(int quality) {
        m_jpegQuality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
    }
    // Hundredths of a second.
    int frameDelay() const { return m_frameDelay; }
    void setFrameDelay(int delay) { m_frameDelay = delay; }
    // The picture's own opacity per pixel, 0 (transparent) to 255, top row first; empty for
    // an opaque picture (loaded pictures keep an alpha channel only when it is used).
    bool hasAlpha() const { return !m_alpha.empty(); }
    uint8_t alphaAt(int x, int y) const {
        return m_alpha.empty() ? 255 : m_alpha[std::size_t(y) * std::size_t(m_width) + std::size_t(x)];
    }
    // `plane` must hold width x height values (otherwise the picture stays opaque).
    void setAlpha(std::vector<uint8_t> plane) {
        if (plane.size() == std::size_t(m_width) * std::size_t(m_height))
            m_alpha = std::move(plane);
    }

    // -1 when the picture has no transparent palette index.
    int transparentIndex() const { return m_transparentIndex; }
    void setTransparentIndex(int index) { m_transparentIndex = index; }

private:
    int m_width = 0;
    int m_height = 0;
    int m_bitsPerPixel = 24;
    std::vector<uint8_t> m_pixels;
    std::vector<uint32_t> m_palette;
    std::vector<uint8_t> m_alpha;
    int m_jpegQuality = 75;
    int m_frameDelay = 0;
    int m_transparentIndex = -1;
};

} // namespace swivio
